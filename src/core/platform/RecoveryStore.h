#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>

class QLockFile;

// Recovery copies of unsaved projects, one per running program, in a folder
// of the user's own (mode 0700). Each copy "<pid>-<tag>.tvst" has a lock file
// beside it that its program holds while it runs; a copy whose lock is free
// belongs to a program that ended without cleaning up (a crash, a kill, a
// power cut). Copies are written atomically and readable by the owner only.
class RecoveryStore
{
public:
    struct Copy
    {
        QString path;
        QDateTime written; // local time of the last write
    };

    // "<AppLocalDataLocation>/recovery".
    static QString defaultFolder();

    explicit RecoveryStore(QString folder);
    // Releases the lock; the copy stays unless discard() was called.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    QString folder() const { return m_folder; }
    // This program's copy (it exists only after write()).
    QString copyPath() const { return m_base + QStringLiteral(".tvst"); }

    // Replaces this program's copy with the bytes; the first call claims the
    // lock. Throws Error when the folder or the copy cannot be written.
    void write(const QByteArray& project);
    // Removes this program's copy, if any.
    void discard();

    // Copies of programs that no longer run and that were not declined,
    // newest first.
    QList<Copy> orphans() const;
    // The copy stays where it is but is not offered again.
    void decline(const Copy& copy) const;
    // Removes a copy with its lock and marks.
    void remove(const Copy& copy) const;

private:
    void claim();

    QString m_folder;
    QString m_base; // folder + "/<pid>-<tag>"
    std::unique_ptr<QLockFile> m_lock;
};
