#pragma once

#include <QStringList>

namespace CommandLine {

// --import QUELLE ZIEL.tvst [--force]: reads a feed file or an http/https
// address into a new project file. The report goes to standard error.
// 0 success, 1 the source cannot be read or is no feed (or the project file
// cannot be written), 2 a wrong call or a target that exists without --force.
int importFeed(const QStringList& args);

} // namespace CommandLine
