#pragma once

#include <QStringList>

// The headless modes of the program (export, help, version, ...): they run
// without any window and without a display.
namespace CommandLine {

// True when the arguments ask for a headless mode.
bool isHeadless(int argc, char** argv);
// Runs the headless mode; the result is the exit status.
int run(const QStringList& arguments);

} // namespace CommandLine
