#include "Application.h"

#include "UserInteraction.h"
#include "uMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

bool installTranslation(QTranslator& translator, const QString& catalogue)
{
    if (!translator.isEmpty())
        return true;
    if (!translator.load(QLocale(QLocale::German, QLocale::Germany), catalogue, QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

} // namespace

bool installGermanQtTranslation()
{
    // qtbase: standard buttons and dialogs; qtwebengine: the HTML editor's
    // context menu (Rückgängig, Ausschneiden, ...).
    static QTranslator base;
    static QTranslator webEngine;
    const bool baseLoaded = installTranslation(base, QStringLiteral("qtbase"));
    const bool webEngineLoaded = installTranslation(webEngine, QStringLiteral("qtwebengine"));
    return baseLoaded && webEngineLoaded;
}

int runGui(int& argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavistrel"));
    installGermanQtTranslation();

    QtUserInteraction ui;
    TForm1::Options options;
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        options.startupFile = arguments.at(1);
    TForm1 window(ui, options);
    window.show();
    return app.exec();
}
