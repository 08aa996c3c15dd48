#pragma once

#include <QString>

// The places the program keeps and finds its files.
namespace Folders {

// The executable's folder, with a trailing "/". When the data files are not
// there (an installed program), the install's data folder that holds them.
QString programFolder();
// Overrides programFolder() (tests, and a build that runs from elsewhere).
void setProgramFolder(const QString& folder);

// The user's application data folder, "~/.config/Tavistrel", no trailing "/".
QString appDataFolder();
// Creates the application data folder (one level); false when that failed.
bool ensureAppDataFolder();

// A private per-user temporary folder (mode 0700) under QDir::tempPath(),
// created on first use, with a trailing "/". Throws Error when no private
// folder can be made.
QString privateTempFolder();

} // namespace Folders
