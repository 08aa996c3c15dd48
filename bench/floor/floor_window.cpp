// Floor for the editor's start-up and memory: a bare Qt Widgets main window
// with a menu, a tool bar and a table, shown; with "--quit-when-shown" it
// ends as soon as the event loop has drawn it.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("Datei"))->addAction(QStringLiteral("Öffnen"));
    window.addToolBar(QStringLiteral("Werkzeuge"))->addAction(QStringLiteral("Neu"));
    window.setCentralWidget(new QTableWidget(0, 3));
    window.resize(800, 600);
    window.show();
    // exit(), as the editor does: quit() first closes every window, so the
    // window would be hidden before its first paint.
    if (app.arguments().contains(QStringLiteral("--quit-when-shown")))
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
    return app.exec();
}
