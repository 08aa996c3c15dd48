#include "CommandLine.h"
#include "platform/Error.h"
#include "platform/Modules.h"

#include <QCoreApplication>
#include <cstdio>
#include <dlfcn.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// Fontconfig reads its configuration and font caches when first asked:
// several milliseconds on the way to the first window. A second thread does it
// while this one loads the window module; Qt's font database then finds it
// done (fontconfig keeps one configuration per process and guards it). The
// thread ends before the program does.
class FontconfigWarmUp
{
public:
    FontconfigWarmUp()
    {
        // Opened here, not in the thread: the loader serialises the opening
        // of libraries, and the window module would hold it the longest.
        // The window module needs the library anyway; it stays open.
        void* library = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_LOCAL);
        if (!library)
            return;
        using Init = int (*)();
        const auto init = reinterpret_cast<Init>(::dlsym(library, "FcInit"));
        if (!init)
            return;
        try {
            m_thread = std::thread(init);
        } catch (const std::system_error&) {
            // No thread: Qt reads the configuration itself.
        }
    }
    ~FontconfigWarmUp()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    FontconfigWarmUp(const FontconfigWarmUp&) = delete;
    FontconfigWarmUp& operator=(const FontconfigWarmUp&) = delete;

private:
    std::thread m_thread;
};

} // namespace

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
    const FontconfigWarmUp fonts;
    try {
        const auto runGui =
            reinterpret_cast<RunGui>(Modules::resolve("tavistrel_gui", "tavistrelRunGui"));
        return runGui(argc, argv);
    } catch (const Error& e) {
        std::fprintf(stderr, "tavistrel: %s\n", e.what());
        return 1;
    }
}
