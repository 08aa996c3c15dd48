#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <functional>

// A file of `size` bytes of random data (so no compression helps either side).
inline void writeRandomFile(const QString& path, qint64 size)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    QRandomGenerator rng(42);
    rng.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
    for (qint64 written = 0; written < size; written += block.size())
        f.write(block);
}

// Our client beside curl, round by round: each uploads the same file into
// the same server folder ("client.bin", "curl.bin"), each side is timed, and
// a round in which either copy did not arrive whole fails the benchmark.
class UploadBesideCurl
{
public:
    UploadBesideCurl(benchmark::State& state, const QString& targetFolder, qint64 size)
        : m_state(state), m_target(targetFolder), m_size(size),
          m_curl(QStandardPaths::findExecutable(QStringLiteral("curl")))
    {
    }

    void round(const std::function<void()>& client, const QStringList& curlArgs)
    {
        QElapsedTimer timer;
        timer.start();
        client();
        m_clientSeconds += timer.nsecsElapsed() / 1e9;

        QProcess process;
        timer.restart();
        process.start(m_curl, curlArgs);
        process.waitForFinished(-1);
        m_curlSeconds += timer.nsecsElapsed() / 1e9;
        if (process.exitCode() != 0 || arrivedSize(QStringLiteral("client.bin")) != m_size ||
            arrivedSize(QStringLiteral("curl.bin")) != m_size)
            m_state.SkipWithError("an upload did not arrive whole");
        QFile::remove(m_target.filePath(QStringLiteral("client.bin")));
        QFile::remove(m_target.filePath(QStringLiteral("curl.bin")));
    }

    // Throughput of both sides and their ratio, as counters.
    void report()
    {
        const double mb = double(m_size) / (1024 * 1024) * double(m_state.iterations());
        m_state.counters["client_MiB/s"] = mb / m_clientSeconds;
        m_state.counters["curl_MiB/s"] = mb / m_curlSeconds;
        m_state.counters["client/curl"] = m_curlSeconds / m_clientSeconds;
    }

private:
    qint64 arrivedSize(const QString& name) const
    {
        return QFileInfo(m_target.filePath(name)).size();
    }

    benchmark::State& m_state;
    QDir m_target;
    qint64 m_size;
    QString m_curl;
    double m_clientSeconds = 0;
    double m_curlSeconds = 0;
};
