#include "Application.h"

#include <QApplication>

// Placeholder until the main window lands.
int runGui(int& argc, char** argv)
{
    QApplication app(argc, argv);
    return 0;
}
