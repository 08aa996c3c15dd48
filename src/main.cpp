#include "CommandLine.h"
#include "platform/Error.h"
#include "platform/Modules.h"

#include <QCoreApplication>
#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (CommandLine::isHeadless(argc, argv)) {
        int status = 0;
        {
            QCoreApplication app(argc, argv);
            status = CommandLine::run(QCoreApplication::arguments());
        }
        // Nothing is left to tear down that the system does not free faster.
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(status);
    }
    // The windows live in a module of their own, so that the headless modes
    // above never map Qt Widgets.
    using RunGui = int (*)(int&, char**);
    try {
        const auto runGui =
            reinterpret_cast<RunGui>(Modules::resolve("tavistrel_gui", "tavistrelRunGui"));
        return runGui(argc, argv);
    } catch (const Error& e) {
        std::fprintf(stderr, "tavistrel: %s\n", e.what());
        return 1;
    }
}
