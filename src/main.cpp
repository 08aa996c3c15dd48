#include "CommandLine.h"

#include <QCoreApplication>

#ifdef TAVISTREL_HAVE_GUI
#include "app/Application.h"
#endif

#include <cstdio>

int main(int argc, char** argv)
{
    if (CommandLine::isHeadless(argc, argv)) {
        QCoreApplication app(argc, argv);
        return CommandLine::run(QCoreApplication::arguments());
    }
#ifdef TAVISTREL_HAVE_GUI
    return runGui(argc, argv);
#else
    std::fputs("tavistrel: built without windows; see --help\n", stderr);
    return 2;
#endif
}
