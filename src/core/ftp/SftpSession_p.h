#pragma once

#include "SftpPackets.h"
#include "SftpSession.h"

#include <QElapsedTimer>
#include <atomic>
#include <condition_variable>
#include <initializer_list>
#include <libssh/libssh.h>
#include <mutex>
#include <thread>

// SFTP over libssh: libssh carries the SSH connection (key exchange, host
// key, login, channel); the SFTP packets are our own (SftpPackets), because
// libssh 0.10's SFTP calls can neither pipeline writes nor send the
// posix-rename extension, and cannot be cut short.
//
// Abort and time-out both shut the socket down under the mutex, which makes
// whatever libssh is waiting for fail at once; the session is closed then.
class SftpSession final : public RemoteSession
{
public:
    SftpSession(const RemoteSettings& settings, RemoteHooks hooks, SftpLimits limits);
    ~SftpSession() override;

    void connect() override;
    bool connected() const override;
    void changeDir(const QString& path) override;
    QString currentDir() override;
    TIdFTPListItems list() override;
    void put(const QString& localPath, const QString& remoteName) override;
    std::optional<qint64> size(const QString& remoteName) override;
    void rename(const QString& from, const QString& to) override;
    void remove(const QString& remoteName) override;
    void quit() override;
    void abort() override;
    void resetAbort() override;

private:
    // Marks one operation: it may be aborted and is watched for time-outs.
    class Operation
    {
    public:
        explicit Operation(SftpSession& session);
        ~Operation();

    private:
        SftpSession& m_session;
    };

    // Connecting (SftpSession.cpp).
    void openSocket();
    void startSsh();
    void verifyHostKey();
    void authenticate();
    int authenticateKeyboardInteractive();
    void openSftp();
    void closeConnection();

    // Packets (SftpSession.cpp).
    quint32 nextId() { return m_nextId++; }
    void send(const sftp::PacketWriter& packet);
    sftp::Reply nextReply();
    sftp::Reply call(const sftp::PacketWriter& packet, quint32 id);
    [[noreturn]] void failTransport(const QString& doing);
    // `nameRefusals`: the status codes that refuse the name or the operation
    // as such (ERemoteRefusal::refusesName()).
    [[noreturn]] void refuse(const sftp::Reply& reply, const QString& request,
                             std::initializer_list<quint32> nameRefusals = {}) const;
    void expectOk(const sftp::Reply& reply, const QString& request) const;
    void requireConnected() const;
    QByteArray remotePath(const QString& name) const;
    QString canonical(const QString& path);
    void closeHandle(const QByteArray& handle);
    std::optional<sftp::Attributes> statPath(const QByteArray& path, const QString& request);

    // Watching (SftpSession.cpp).
    void watch();
    void setBusy(bool busy);
    void progress(qint64 bytes);

    void wire(bool sent, const QString& line) const;
    void status(const QString& text) const;

    RemoteSettings m_settings;
    RemoteHooks m_hooks;
    SftpLimits m_limits;

    ssh_session m_ssh = nullptr;
    ssh_channel m_channel = nullptr;
    QByteArray m_received;
    quint32 m_nextId = 1;
    QString m_cwd;
    bool m_posixRename = false;
    bool m_open = false; // the SFTP subsystem answered

    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_timedOut{false};
    std::mutex m_mutex; // guards what follows, shared with abort() and the watchdog
    int m_fd = -1;
    bool m_busy = false;
    bool m_stopWatch = false;
    QElapsedTimer m_window;
    qint64 m_windowBytes = 0;
    std::condition_variable m_wake;
    std::thread m_watchdog;
};
