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

// A file of one run (an upload): FILENAME in a fresh folder of its own made
// inside privateTempFolder(), so two running instances never write the same
// file. Nothing is created but the folder. The destructor removes the file
// and its folder, whatever became of the run. Throws Error when no folder
// can be made.
class PrivateRunFile
{
public:
    explicit PrivateRunFile(const QString& fileName);
    ~PrivateRunFile();
    PrivateRunFile(const PrivateRunFile&) = delete;
    PrivateRunFile& operator=(const PrivateRunFile&) = delete;

    const QString& path() const { return m_path; }

private:
    QString m_folder;
    QString m_path;
};

} // namespace Folders
