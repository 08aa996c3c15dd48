#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One project in the list of recently used files.
struct RecentFile
{
    QString path;
    QDateTime used; // UTC
};

// The projects opened or saved last, newest first, at most kLimit, kept in a
// small XML file in the user's configuration folder. Entries of the desktop's
// recent-files list are merged in once each, so a removed entry stays removed.
class RecentFiles
{
public:
    static constexpr int kLimit = 10;

    explicit RecentFiles(QString storePath);

    // Reads the store; a missing or unreadable store gives an empty list.
    void load();
    // Writes the store (owner-only); throws Error when it cannot be written.
    void save() const;

    const QList<RecentFile>& items() const { return m_items; }
    // Puts the path (made absolute) in front, dropping an older entry of it
    // and whatever falls past the limit.
    void add(const QString& path, const QDateTime& used);
    bool remove(const QString& path);
    // Removes the entries whose file is gone; returns how many.
    int removeMissing();
    void clear();

    // Takes the entries used after the last merge whose file exists, in the
    // order of their time among the others; older ones were seen before and
    // stay out.
    void mergeDesktopEntries(const QList<RecentFile>& entries);

private:
    QString m_storePath;
    QList<RecentFile> m_items;
    QDateTime m_mergedUntil;
};

// The freedesktop.org recent-files list (XBEL), shared by the desktop's
// programs.
namespace DesktopRecentFiles {

inline const QString kMimeType = QStringLiteral("application/x-tavistrel");

// "$XDG_DATA_HOME/recently-used.xbel".
QString defaultPath();
// The list's local files of our type (by MIME type or the .tvst extension),
// with the time they were last used. A missing or broken list gives none.
QList<RecentFile> read(const QString& xbelPath);
// Adds or refreshes the entry of filePath as other programs do, keeping every
// other entry. Throws Error when the list cannot be read as XBEL (it is then
// left alone) or cannot be written.
void add(const QString& xbelPath, const QString& filePath, const QDateTime& used);

} // namespace DesktopRecentFiles
