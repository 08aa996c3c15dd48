#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

// One step of the scripted server's answer to a command.
struct FtpAction
{
    enum Kind {
        Reply,        // raw bytes on the control connection; "%PORT%" becomes "p1,p2"
        Pause,        // sleep, so the next bytes arrive in a read of their own
        SendData,     // bytes on the data connection (opened on first use)
        CloseData,    // close the data connection
        ReceiveData,  // read the data connection to its end; with `ms`, a small receive
                      // buffer and `ms` of pause per 64 KiB (a slow server)
        CloseControl, // close the control connection
    };
    Kind kind;
    QByteArray bytes;
    int ms = 0;
};

namespace ftpact {
inline FtpAction reply(const QByteArray& lines) { return {FtpAction::Reply, lines}; }
inline FtpAction pause(int ms) { return {FtpAction::Pause, {}, ms}; }
inline FtpAction data(const QByteArray& bytes) { return {FtpAction::SendData, bytes}; }
inline FtpAction closeData() { return {FtpAction::CloseData, {}}; }
inline FtpAction receiveData(int msPer64k = 0) { return {FtpAction::ReceiveData, {}, msPer64k}; }
inline FtpAction closeControl() { return {FtpAction::CloseControl, {}}; }
} // namespace ftpact

// An FTP server on a free loopback port that answers from a table and
// records the exact command lines it received. The table starts with the
// answers of a plain server (greeting, USER 331, PASS 230, FEAT without
// features, PASV/PORT, LIST, STOR ...); on() replaces one entry. A command
// is looked up by its whole line first, then by its verb. One session at a
// time, on a thread of its own.
class ScriptedFtpServer
{
public:
    ScriptedFtpServer();
    ~ScriptedFtpServer();

    // Key "" is the greeting sent on connect.
    void on(const QString& commandOrVerb, QList<FtpAction> actions);
    // Starts listening; the table must be complete by now.
    void start();
    quint16 port() const { return m_port; }

    QStringList transcript() const;
    QByteArray received() const;  // bytes of the last ReceiveData
    int connections() const { return m_connections.load(); }
    // Sessions whose control connection has closed, from either side.
    int sessionsEnded() const { return m_sessionsEnded.load(); }

private:
    void run();
    void serve(class QTcpSocket& control);

    QHash<QString, QList<FtpAction>> m_table;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<int> m_sessionsEnded{0};
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    QStringList m_transcript;
    QByteArray m_received;
};
