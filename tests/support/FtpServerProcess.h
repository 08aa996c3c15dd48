#pragma once

#include <QProcess>
#include <QString>
#include <memory>

// A real FTP server run as a child process for one test, on a free
// loopback port; killed when the object goes.
class FtpServerProcess
{
public:
    ~FtpServerProcess();

    // pyftpdlib serving `home` to one user. Empty `failure` when it runs.
    bool startPyftpdlib(const QString& home, const QString& user, const QString& password,
                        QString* failure);
    // vsftpd with anonymous access to `root` (which must not be writable by
    // the ftp user; uploads go into a sub-folder). Needs root.
    bool startVsftpd(const QString& root, const QString& configDir, QString* failure);
    // An anonymous root for vsftpd below `top`: read-only for the ftp user,
    // with an "upload" folder it may write. Returns the root's path.
    static QString makeVsftpdRoot(const QString& top);

    quint16 port() const { return m_port; }

private:
    bool waitUntilAccepting(QString* failure);

    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
};
