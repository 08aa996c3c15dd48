#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryFile>
#include <memory>

// A real FTP server run as a child process for one test, on a free
// loopback port; killed when the object goes.
class FtpServerProcess
{
public:
    ~FtpServerProcess();

    // pyftpdlib serving `home` to one user. Empty `failure` when it runs.
    // `options` go to pyftpd_server.py (--tls CERT KEY, --max-upload N, ...).
    bool startPyftpdlib(const QString& home, const QString& user, const QString& password,
                        QString* failure, const QStringList& options = {});
    // vsftpd with anonymous access to `root` (which must not be writable by
    // the ftp user; uploads go into a sub-folder). Needs root. With a
    // certificate and key: explicit TLS required for login and data, and
    // data connections must resume the control connection's TLS session.
    bool startVsftpd(const QString& root, const QString& configDir, QString* failure,
                     const QString& certificate = {}, const QString& key = {});
    // The commands pyftpdlib received so far, one per line ("PASS" alone).
    QStringList receivedCommands();

    // A self-signed certificate for 127.0.0.1 made with the openssl tool:
    // dir/cert.pem and dir/key.pem. False (with `failure`) without openssl.
    static bool makeCertificate(const QString& dir, QString* failure,
                                const QString& commonName = QStringLiteral("127.0.0.1"));
    // An anonymous root for vsftpd below `top`: read-only for the ftp user,
    // with an "upload" folder it may write. Returns the root's path.
    static QString makeVsftpdRoot(const QString& top);

    quint16 port() const { return m_port; }

private:
    bool waitUntilAccepting(QString* failure);

    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QTemporaryFile> m_logFile; // pyftpdlib's standard error
    quint16 m_port = 0;
};
