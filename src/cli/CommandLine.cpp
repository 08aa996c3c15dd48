#include "CommandLine.h"

#include <cstring>

// Placeholder until the headless export lands.
namespace CommandLine {
bool isHeadless(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--", 2) == 0)
            return true;
    return false;
}
int run(const QStringList&) { return 2; }
} // namespace CommandLine
