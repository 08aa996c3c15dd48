#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

// The bytes a test server stored. A server may send its 226 before it has
// closed the file, so wait (bounded) until the bytes are `ready`.
template <typename Ready> QByteArray storedFileWhen(const QString& path, Ready ready, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    QByteArray bytes;
    do {
        QFile f(path);
        bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        if (ready(bytes))
            break;
        QThread::msleep(10);
    } while (waited.elapsed() < timeoutMs);
    return bytes;
}

inline QByteArray storedFileBytes(const QString& path, const QByteArray& expected,
                                  int timeoutMs = 5000)
{
    return storedFileWhen(
        path, [&](const QByteArray& bytes) { return bytes == expected; }, timeoutMs);
}

// The size an upload log names for the file it sent ("Größe auf dem Server
// geprüft: N Bytes."); -1 when it names none.
inline qint64 sentSize(const QString& log)
{
    const QString prefix = QStringLiteral("Größe auf dem Server geprüft: ");
    const qsizetype at = log.indexOf(prefix);
    if (at < 0)
        return -1;
    return log.mid(at + prefix.size()).section(u' ', 0, 0).toLongLong();
}

// The bytes a test server stored, once they have the size the log named.
inline QByteArray storedFileOfSize(const QString& path, qint64 size, int timeoutMs = 5000)
{
    return storedFileWhen(
        path, [size](const QByteArray& bytes) { return bytes.size() == size; }, timeoutMs);
}
