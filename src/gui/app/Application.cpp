#include "Application.h"

#include "LazyIcons.h"
#include "UserInteraction.h"
#include "uMain.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
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
    QList<LazyIcons::File> files;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        files.append({QStringLiteral(":/icons/tavistrel-%1.png").arg(size), QSize(size, size)});
    return LazyIcons::fromFiles(files);
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
    // The HTML editor's browser engine is loaded later, as a module; it needs
    // shared GL contexts from the start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    setApplicationIdentity();
    installGermanQtTranslation();

    QtUserInteraction ui;
    TForm1::Options options;
    options.recoveryInterval = std::chrono::minutes(2);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        options.startupFile = arguments.at(1);
    // For start-up measurements and tests: no splash, and the program ends
    // once the window has been shown and the event loop has run.
    const bool measureStartup = qEnvironmentVariableIsSet("TAVISTREL_QUIT_AFTER_START");
    if (measureStartup)
        options.showSplash = false;
    TForm1 window(ui, options);
    window.show();
    if (measureStartup)
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    return app.exec();
}

extern "C" int tavistrelRunGui(int& argc, char** argv)
{
    return runGui(argc, argv);
}
