// SFTP upload figures: 50 MB to a local OpenSSH sshd (needs root), our
// session beside `curl -T sftp://` (libssh2) of the same file to the same
// server in the same run.

#include "UploadBesideCurl.h"
#include "ftp/RemoteSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

bool run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(30000) && process.exitCode() == 0;
}

// sshd on a free loopback port for root with a key from `home`.
class Sshd
{
public:
    bool start(const QString& work, const QString& home)
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        probe.close();
        const QString hostKey = work + QStringLiteral("/host_key");
        const QString key = home + QStringLiteral("/.ssh/id_ed25519");
        QDir().mkpath(home + QStringLiteral("/.ssh"));
        for (const QString& k : {hostKey, key})
            if (!run(QStringLiteral("ssh-keygen"),
                     {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                      QStringLiteral("-N"), QString(), QStringLiteral("-f"), k}))
                return false;
        QFile::copy(key + QStringLiteral(".pub"), work + QStringLiteral("/authorized_keys"));
        QFile config(work + QStringLiteral("/sshd_config"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile none\n"
                                    "UsePAM no\nStrictModes no\nAuthorizedKeysFile %3\n"
                                    "PermitRootLogin prohibit-password\nAllowUsers root\n"
                                    "Subsystem sftp internal-sftp\n")
                         .arg(port)
                         .arg(hostKey, work + QStringLiteral("/authorized_keys"))
                         .toUtf8());
        config.close();
        QDir().mkpath(QStringLiteral("/run/sshd"));
        m_process.start(
            QStringLiteral("/usr/sbin/sshd"),
            {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config.fileName()});
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000 && m_process.state() != QProcess::NotRunning) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(200))
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    ~Sshd()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    quint16 port = 0;

private:
    QProcess m_process;
};

void BM_SftpUpload50MBBesideCurl(benchmark::State& state)
{
    if (::geteuid() != 0) {
        state.SkipWithError("sshd needs root");
        return;
    }
    const qint64 size = 50LL * 1024 * 1024;
    QTemporaryDir work, home, target;
    const QString file = work.filePath(QStringLiteral("upload.bin"));
    writeRandomFile(file, size);
    // Our own HOME and configuration folder: the key and known_hosts of this run.
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
    qunsetenv("SSH_AUTH_SOCK");
    Sshd server;
    if (!server.start(work.path(), home.path())) {
        state.SkipWithError("sshd did not start");
        return;
    }
    RemoteSettings settings;
    settings.protocol = RemoteProtocol::Sftp;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = server.port;
    settings.username = QStringLiteral("root");
    const QString key = home.filePath(QStringLiteral(".ssh/id_ed25519"));
    UploadBesideCurl race(state, target.path(), size);
    for (auto _ : state) {
        race.round(
            [&] {
                RemoteHooks hooks;
                hooks.askTrust = [](const TrustQuestion&) { return true; };
                auto session = makeRemoteSession(settings, hooks);
                session->connect();
                session->changeDir(target.path());
                session->put(file, QStringLiteral("client.bin"));
                session->quit();
            },
            {QStringLiteral("-s"), QStringLiteral("-k"), QStringLiteral("--key"), key,
             QStringLiteral("--pubkey"), key + QStringLiteral(".pub"), QStringLiteral("-T"), file,
             QStringLiteral("sftp://root@127.0.0.1:%1%2/curl.bin")
                 .arg(server.port)
                 .arg(target.path())});
    }
    race.report();
}
BENCHMARK(BM_SftpUpload50MBBesideCurl)->Unit(benchmark::kSecond)->Iterations(5)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
