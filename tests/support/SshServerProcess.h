#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

// An SSH server with SFTP run as a child process for one test, on a free
// loopback port, with a host key made for this run; killed when the object
// goes. Each start writes its files into `workDir`.
class SshServerProcess
{
public:
    ~SshServerProcess();

    // python3-asyncssh serving `root` (shown as "/") to one user with a
    // password; no root needed. See asyncssh_server.py for its test hooks
    // ("gesperrt", "haengt") and its options (--max-bytes, --cut-bytes).
    bool startAsyncssh(const QString& root, const QString& user, const QString& password,
                       const QString& workDir, QString* failure, const QStringList& options = {});
    // OpenSSH's sshd (needs root): `user`, an existing account, logs in with
    // a key from `authorizedKeys`; the session starts in `startDir`.
    bool startSshd(const QString& startDir, const QString& user, const QString& authorizedKeys,
                   const QString& workDir, QString* failure);

    quint16 port() const { return m_port; }
    // The host key as OpenSSH writes it ("ssh-ed25519 AAAA...") and its
    // SHA-256 fingerprint ("SHA256:...").
    QString publicKey() const { return m_publicKey; }
    QString fingerprint() const { return m_fingerprint; }
    // asyncssh: its standard output so far (one "auth USER" per login attempt).
    QString output();
    // Its standard error so far, for a failing test's report.
    QString errors();

    // An ed25519 key pair without passphrase at `path` and `path`.pub.
    static bool makeKey(const QString& path, QString* failure);
    // The system Python, which has the distribution's asyncssh.
    static QString python();

private:
    bool makeHostKey(const QString& workDir, QString* failure);
    bool waitUntilAccepting(QString* failure);

    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_hostKey;
    QString m_publicKey;
    QString m_fingerprint;
    QString m_output;
};
