#pragma once

#include "Error.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QSaveFile;

// A file that cannot be read or written; the message names the file and
// the cause in German.
class FileAccessError : public Error
{
public:
    using Error::Error;
};

// Plain file access with German messages, for what QFile and QSaveFile
// cannot do safely: a FIFO or device must neither block a read nor be
// replaced by a regular file on a write.
namespace FileAccess {

// The whole content of a regular file. Anything else (missing, a folder, a
// FIFO, a device) is refused before it is opened, so a read never blocks.
QByteArray readRegularFile(const QString& path);

// Throws when path cannot take a saved file at all (it is a folder).
void checkSaveTarget(const QString& path);

// True when path exists and is neither a regular file nor a folder: such a
// target is written into directly, never replaced through a rename.
bool isSpecialFile(const QString& path);

// Writes into an open descriptor or an existing special file. A FIFO that
// nobody reads is refused instead of waiting.
class DirectWriter
{
public:
    explicit DirectWriter(const QString& path); // opens it; throws FileAccessError
    DirectWriter(int fd, const QString& name);  // does not own fd
    ~DirectWriter();
    DirectWriter(const DirectWriter&) = delete;
    DirectWriter& operator=(const DirectWriter&) = delete;

    void write(const char* data, qsizetype size); // throws FileAccessError

private:
    [[noreturn]] void fail(int error) const;
    int m_fd = -1;
    bool m_owned = false;
    QString m_name;
};

// Replaces a file in one step: written under a temporary name beside it and
// renamed by commit(), so a failure or an abandoned writer leaves the old file
// as it was. An existing FIFO or device is written into directly (a rename
// would replace it with a regular file). Every failure throws
// FileAccessError naming the file and the cause.
class SaveWriter
{
public:
    // With ownerOnly a new file is readable and writable by its owner alone.
    explicit SaveWriter(const QString& path, bool ownerOnly = false);
    ~SaveWriter(); // without commit() the temporary file is removed
    SaveWriter(const SaveWriter&) = delete;
    SaveWriter& operator=(const SaveWriter&) = delete;

    void write(const char* data, qsizetype size);
    void commit();

private:
    [[noreturn]] void fail() const;
    QString m_path;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<DirectWriter> m_direct;
    qint64 m_written = 0;
    qint64 m_syncedUpTo = 0;
};

// "Die Datei "path" konnte nicht geschrieben werden: reason."
QString writeFailure(const QString& path, const QString& reason);

} // namespace FileAccess
