#include "Application.h"

#include "UserInteraction.h"
#include "uMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int runGui(int& argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavistrel"));

    // German standard buttons and dialogs ("Ja", "Nein", "Abbrechen").
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QtUserInteraction ui;
    TForm1::Options options;
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        options.startupFile = arguments.at(1);
    TForm1 window(ui, options);
    window.show();
    return app.exec();
}
