#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

// The bytes a test server stored. A server may send its 226 before it has
// closed the file, so wait (bounded) until the file holds what is expected.
inline QByteArray storedFileBytes(const QString& path, const QByteArray& expected,
                                  int timeoutMs = 5000)
{
    QElapsedTimer waited;
    waited.start();
    QByteArray bytes;
    do {
        QFile f(path);
        bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        if (bytes == expected)
            break;
        QThread::msleep(10);
    } while (waited.elapsed() < timeoutMs);
    return bytes;
}
