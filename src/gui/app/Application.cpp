#include "Application.h"

#include "UserInteraction.h"
#include "uMain.h"

#include <QApplication>
#include <QIcon>
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
