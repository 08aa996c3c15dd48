#include "SshServerProcess.h"

#include "WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <unistd.h>

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool run(const QString& program, const QStringList& args, QString* failure,
         QByteArray* out = nullptr)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *failure = program + QStringLiteral(" failed: ") +
                   QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    if (out)
        *out = process.readAllStandardOutput();
    return true;
}

} // namespace

SshServerProcess::~SshServerProcess()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

QString SshServerProcess::python()
{
    return QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable()
               ? QStringLiteral("/usr/bin/python3")
               : QStringLiteral("python3");
}

bool SshServerProcess::makeKey(const QString& path, QString* failure)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".pub"));
    return run(QStringLiteral("ssh-keygen"),
               {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                QStringLiteral("-N"), QString(), QStringLiteral("-C"), QStringLiteral("test"),
                QStringLiteral("-f"), path},
               failure);
}

bool SshServerProcess::makeHostKey(const QString& workDir, QString* failure)
{
    m_hostKey = QDir(workDir).filePath(QStringLiteral("host_key"));
    if (!makeKey(m_hostKey, failure))
        return false;
    QFile pub(m_hostKey + QStringLiteral(".pub"));
    if (!pub.open(QIODevice::ReadOnly))
        return false;
    const QStringList parts = QString::fromLatin1(pub.readAll()).split(u' ');
    m_publicKey = parts.value(0) + u' ' + parts.value(1);
    QByteArray listed;
    if (!run(QStringLiteral("ssh-keygen"),
             {QStringLiteral("-l"), QStringLiteral("-E"), QStringLiteral("sha256"),
              QStringLiteral("-f"), m_hostKey + QStringLiteral(".pub")},
             failure, &listed))
        return false;
    m_fingerprint = QString::fromLatin1(listed).split(u' ').value(1);
    return true;
}

bool SshServerProcess::startAsyncssh(const QString& root, const QString& user,
                                     const QString& password, const QString& workDir,
                                     QString* failure, const QStringList& options)
{
    if (!makeHostKey(workDir, failure))
        return false;
    const QStringList args =
        QStringList{QStringLiteral(TAVISTREL_TEST_SUPPORT_DIR "/asyncssh_server.py"), root, user,
                    password, m_hostKey} +
        options;
    m_process = std::make_unique<QProcess>();
    m_process->start(python(), args);
    waitUntil(
        [this] {
            m_output += QString::fromUtf8(m_process->readAllStandardOutput());
            return m_output.contains(u'\n') || m_process->state() == QProcess::NotRunning;
        },
        std::chrono::seconds(15));
    m_port = quint16(m_output.section(u'\n', 0, 0).trimmed().toUInt());
    m_output = m_output.section(u'\n', 1);
    if (m_port == 0) {
        *failure = QStringLiteral("asyncssh did not start (package python3-asyncssh): ") +
                   QString::fromLocal8Bit(m_process->readAllStandardError());
        return false;
    }
    return waitUntilAccepting(failure);
}

bool SshServerProcess::startSshd(const QString& startDir, const QString& user,
                                 const QString& authorizedKeys, const QString& workDir,
                                 QString* failure)
{
    if (::geteuid() != 0) {
        *failure = QStringLiteral("sshd needs root");
        return false;
    }
    const QString binary = QStringLiteral("/usr/sbin/sshd");
    if (!QFileInfo(binary).isExecutable()) {
        *failure = QStringLiteral("no /usr/sbin/sshd (package openssh-server)");
        return false;
    }
    if (!makeHostKey(workDir, failure))
        return false;
    QDir().mkpath(QStringLiteral("/run/sshd")); // its privilege separation folder
    m_port = freePort();
    const QString configPath = QDir(workDir).filePath(QStringLiteral("sshd_config"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly)) {
        *failure = config.errorString();
        return false;
    }
    config.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile none\n"
                                "UsePAM no\nStrictModes no\nPubkeyAuthentication yes\n"
                                "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                                "AuthorizedKeysFile %3\nAllowUsers %4\nPermitRootLogin yes\n"
                                "Subsystem sftp internal-sftp\nForceCommand internal-sftp -d %5\n"
                                "LogLevel VERBOSE\n")
                     .arg(m_port)
                     .arg(m_hostKey, authorizedKeys, user, startDir)
                     .toUtf8());
    config.close();
    m_process = std::make_unique<QProcess>();
    m_process->start(
        binary, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), configPath});
    return waitUntilAccepting(failure);
}

QString SshServerProcess::output()
{
    if (m_process)
        m_output += QString::fromUtf8(m_process->readAllStandardOutput());
    return m_output;
}

QString SshServerProcess::errors()
{
    if (!m_process)
        return {};
    m_process->waitForReadyRead(200);
    return QString::fromLocal8Bit(m_process->readAllStandardError());
}

bool SshServerProcess::waitUntilAccepting(QString* failure)
{
    const bool accepting = waitUntil(
        [this] {
            if (m_process->state() == QProcess::NotRunning)
                return true;
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            const bool connected = probe.waitForConnected(500);
            probe.abort();
            return connected;
        },
        std::chrono::seconds(10));
    if (m_process->state() == QProcess::NotRunning) {
        *failure = QStringLiteral("server ended: ") +
                   QString::fromLocal8Bit(m_process->readAllStandardError());
        return false;
    }
    if (!accepting)
        *failure = QStringLiteral("server did not accept connections");
    return accepting;
}
