#include "Application.h"

#include "UserInteraction.h"
#include "uMain.h"

#include <QApplication>
#include <QIcon>
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

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tavistrel-%1.png").arg(size), QSize(size, size));
    return icon;
}

void setApplicationIdentity()
{
    QApplication::setApplicationName(QStringLiteral("Tavistrel"));
    QApplication::setWindowIcon(applicationIcon());
    // Lets the desktop match the windows to tavistrel.desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral("tavistrel"));
}

int runGui(int& argc, char** argv)
{
    QApplication app(argc, argv);
    setApplicationIdentity();
    installGermanQtTranslation();

    QtUserInteraction ui;
    TForm1::Options options;
    options.recoveryInterval = std::chrono::minutes(2);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        options.startupFile = arguments.at(1);
    TForm1 window(ui, options);
    window.show();
    return app.exec();
}
