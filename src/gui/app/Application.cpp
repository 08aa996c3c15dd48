#include "Application.h"

#include "UserInteraction.h"
#include "uMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installGermanQtTranslation()
{
    static QTranslator translator;
    if (!translator.isEmpty())
        return true;
    if (!translator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
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
