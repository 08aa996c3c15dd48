#include "FtpServerProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QThread>
#include <unistd.h>

namespace {

// The system Python carries the distribution's pyftpdlib; a python3 earlier
// in PATH (pyenv, venv) may not.
QString pythonWithPyftpdlib()
{
    for (const QString& candidate :
         {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess probe;
        probe.start(candidate, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
        if (probe.waitForFinished(10000) && probe.exitStatus() == QProcess::NormalExit &&
            probe.exitCode() == 0)
            return candidate;
    }
    return {};
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

FtpServerProcess::~FtpServerProcess()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool FtpServerProcess::startPyftpdlib(const QString& home, const QString& user,
                                      const QString& password, QString* failure,
                                      const QStringList& options)
{
    const QString python = pythonWithPyftpdlib();
    if (python.isEmpty()) {
        *failure = QStringLiteral("no python3 with pyftpdlib (package python3-pyftpdlib)");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    // The command log is read while the test's thread runs no event loop.
    m_logFile = std::make_unique<QTemporaryFile>();
    m_logFile->open();
    m_process->setStandardErrorFile(m_logFile->fileName());
    m_process->start(python,
                     QStringList{QStringLiteral(TAVISTREL_TEST_SUPPORT_DIR "/pyftpd_server.py"),
                                 home, user, password} +
                         options);
    QElapsedTimer waited;
    waited.start();
    QByteArray out;
    while (!out.contains('\n') && waited.elapsed() < 15000) {
        if (!m_process->waitForReadyRead(200) && m_process->state() == QProcess::NotRunning)
            break;
        out += m_process->readAllStandardOutput();
    }
    m_port = quint16(out.trimmed().toUInt());
    if (m_port == 0) {
        *failure = QStringLiteral("pyftpdlib did not start: ") +
                   QString::fromLocal8Bit(m_logFile->readAll());
        return false;
    }
    return waitUntilAccepting(failure);
}

bool FtpServerProcess::startVsftpd(const QString& root, const QString& configDir, QString* failure,
                                   const QString& certificate, const QString& key)
{
    if (::geteuid() != 0) {
        *failure = QStringLiteral("vsftpd needs root");
        return false;
    }
    const QString binary = QStringLiteral("/usr/sbin/vsftpd");
    if (!QFileInfo(binary).isExecutable()) {
        *failure = QStringLiteral("no /usr/sbin/vsftpd (package vsftpd)");
        return false;
    }
    m_port = freePort();
    const QString configPath = QDir(configDir).filePath(QStringLiteral("vsftpd.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly)) {
        *failure = config.errorString();
        return false;
    }
    // Anonymous access with uploads, in the foreground, without the
    // namespaces and seccomp filter that containers tend to refuse.
    config.write(QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                                "listen_port=%1\nbackground=NO\nanonymous_enable=YES\n"
                                "local_enable=NO\nno_anon_password=YES\nanon_root=%2\n"
                                "write_enable=YES\nanon_upload_enable=YES\nanon_umask=022\n"
                                "anon_other_write_enable=YES\npasv_enable=YES\nport_enable=YES\n"
                                "connect_from_port_20=NO\npasv_address=127.0.0.1\n"
                                "seccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                                "secure_chroot_dir=/var/run/vsftpd/empty\nuse_localtime=NO\n"
                                "xferlog_enable=NO\nhide_ids=NO\n")
                     .arg(m_port)
                     .arg(root)
                     .toUtf8());
    if (!certificate.isEmpty())
        config.write(
            QStringLiteral("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                           "force_anon_data_ssl=YES\nrequire_ssl_reuse=YES\n"
                           "rsa_cert_file=%1\nrsa_private_key_file=%2\n")
                .arg(certificate, key)
                .toUtf8());
    config.close();
    m_process = std::make_unique<QProcess>();
    m_process->start(binary, {configPath});
    return waitUntilAccepting(failure);
}

bool FtpServerProcess::waitUntilAccepting(QString* failure)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (m_process->state() == QProcess::NotRunning) {
            *failure = QStringLiteral("server ended: ") +
                       QString::fromLocal8Bit(m_process->readAllStandardError() +
                                              m_process->readAllStandardOutput());
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(500)) {
            probe.abort();
            return true;
        }
        QThread::msleep(20);
    }
    *failure = QStringLiteral("server did not accept connections");
    return false;
}

QString FtpServerProcess::makeVsftpdRoot(const QString& top)
{
    const QString root = top + QStringLiteral("/root");
    QDir().mkpath(root + QStringLiteral("/upload"));
    const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                          QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                          QFileDevice::ExeOther;
    // vsftpd refuses an anonymous root the ftp user could write to.
    QFile::setPermissions(root, readable);
    QFile::setPermissions(top, readable);
    QFile::setPermissions(root + QStringLiteral("/upload"), readable | QFileDevice::WriteOther);
    return root;
}

QStringList FtpServerProcess::receivedCommands()
{
    QFile log(m_logFile ? m_logFile->fileName() : QString());
    const QByteArray output = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    QStringList commands;
    for (const QByteArray& line : output.split('\n'))
        if (line.startsWith("CMD "))
            commands << QString::fromUtf8(line.mid(4)).trimmed();
    return commands;
}

bool FtpServerProcess::makeCertificate(const QString& dir, QString* failure,
                                       const QString& commonName)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=%1/O=Tavistrel Test").arg(commonName),
                   QStringLiteral("-keyout"), dir + QStringLiteral("/key.pem"),
                   QStringLiteral("-out"), dir + QStringLiteral("/cert.pem")});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        *failure = QStringLiteral("openssl could not make a certificate (package openssl): ") +
                   QString::fromLocal8Bit(openssl.readAllStandardError()) + openssl.errorString();
        return false;
    }
    // vsftpd reads them as root; pyftpdlib as the test's user.
    return true;
}
