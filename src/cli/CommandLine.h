#pragma once

#include <QStringList>

// The headless modes of the program: they run without any window and
// without a display, under a QCoreApplication.
//   --export-rss PROJECT.tvst [OUT.xml]   writes the project's RSS file
//   --upload PROJECT.tvst                 uploads the project's RSS file by FTP
//   --check PROJECT.tvst                  lists the feed check's findings
//   --help                                German usage text
//   --version                             "Tavistrel 1.1"
namespace CommandLine {

// True when the first argument is an option ("--..."), known or not;
// otherwise the arguments belong to the editor (a project file to open).
bool isHeadless(int argc, char** argv);
// Runs the headless mode named by arguments[1]; the result is the exit
// status: 0 success, 1 the work failed, 2 the arguments were wrong,
// 3 the feed check found Fehler (--check only).
// Messages go to standard error, in German.
int run(const QStringList& arguments);

} // namespace CommandLine
