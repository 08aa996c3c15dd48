#include "FileAccess.h"

#include "SystemError.h"

#include <QFile>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileAccess {
namespace {

// Written bytes handed to the disk ahead of the final sync at a time.
constexpr qint64 kWriteBackBytes = 1 << 20;

[[noreturn]] void readFailure(const QString& path, const QString& reason)
{
    throw FileAccessError(
        QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden: %2.").arg(path, reason));
}

QString kindText(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("Es ist ein Ordner, keine Datei");
    if (S_ISFIFO(mode))
        return QStringLiteral("Es ist eine Pipe, keine gewöhnliche Datei");
    if (S_ISSOCK(mode))
        return QStringLiteral("Es ist ein Socket, keine gewöhnliche Datei");
    return QStringLiteral("Es ist ein Gerät, keine gewöhnliche Datei");
}

} // namespace

QString writeFailure(const QString& path, const QString& reason)
{
    return QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden: %2.")
        .arg(path, reason);
}

QByteArray readRegularFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        readFailure(path, SystemError::reason(errno));
    if (!S_ISREG(info.st_mode))
        readFailure(path, kindText(info.st_mode));
    // Non-blocking, in case a FIFO took the file's place since the check.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        readFailure(path, SystemError::reason(errno));
    QByteArray data;
    int error = 0;
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        readFailure(path, kindText(info.st_mode));
    } else {
        // One read into a buffer of the file's size: growing a buffer step
        // by step costs more than the parse on large projects.
        // One byte more than the size, so that the end shows without growing.
        data = QByteArray(qsizetype(info.st_size) + 1, Qt::Uninitialized);
        qsizetype got = 0;
        while (error == 0) {
            if (got == data.size())
                data.resize(data.size() + 65536); // the file grew meanwhile
            const ssize_t n = ::read(fd, data.data() + got, size_t(data.size() - got));
            if (n < 0 && errno != EINTR)
                error = errno;
            else if (n == 0)
                break;
            else if (n > 0)
                got += n;
        }
        data.truncate(got);
    }
    ::close(fd);
    if (error != 0)
        readFailure(path, SystemError::reason(error));
    return data;
}

void checkSaveTarget(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode))
        throw FileAccessError(writeFailure(path, kindText(info.st_mode)));
}

bool isSpecialFile(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode) &&
           !S_ISDIR(info.st_mode);
}

DirectWriter::DirectWriter(const QString& path) : m_owned(true), m_name(path)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        if (errno == ENXIO)
            throw FileAccessError(
                writeFailure(path, QStringLiteral("Niemand liest aus dieser Pipe")));
        fail(errno);
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
}

DirectWriter::DirectWriter(int fd, const QString& name) : m_fd(fd), m_name(name) {}

DirectWriter::~DirectWriter()
{
    if (m_owned && m_fd >= 0)
        ::close(m_fd);
}

void DirectWriter::write(const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        data += n;
        size -= n;
    }
}

void DirectWriter::fail(int error) const
{
    throw FileAccessError(writeFailure(m_name, SystemError::reason(error)));
}

SaveWriter::SaveWriter(const QString& path, bool ownerOnly) : m_path(path)
{
    checkSaveTarget(path);
    if (isSpecialFile(path)) {
        m_direct = std::make_unique<DirectWriter>(path);
        return;
    }
    m_file = std::make_unique<QSaveFile>(path);
    // Callers hand over large pieces: no second buffer.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail();
    if (ownerOnly && ::fchmod(m_file->handle(), S_IRUSR | S_IWUSR) != 0)
        fail();
}

SaveWriter::~SaveWriter() = default;

void SaveWriter::write(const char* data, qsizetype size)
{
    if (m_direct) {
        m_direct->write(data, size);
        return;
    }
    // A full disk first gives a short write without error; writing the rest
    // brings out the error and its cause.
    while (size > 0) {
        const qint64 n = m_file->write(data, size);
        if (n <= 0)
            fail();
        data += n;
        size -= n;
        m_written += n;
    }
    // Start writing the pages out now, while the caller computes the next
    // piece: the sync in commit() then waits only for the tail. Advice only,
    // so a failure here changes nothing.
    if (m_written - m_syncedUpTo >= kWriteBackBytes) {
        ::sync_file_range(m_file->handle(), m_syncedUpTo, m_written - m_syncedUpTo,
                          SYNC_FILE_RANGE_WRITE);
        m_syncedUpTo = m_written;
    }
}

void SaveWriter::commit()
{
    if (m_file && !m_file->commit())
        fail();
}

void SaveWriter::fail() const
{
    throw FileAccessError(writeFailure(m_path, SystemError::reason(*m_file)));
}

} // namespace FileAccess
