// The publish job and the sessions against real servers, one row per
// protocol: a server launcher per protocol makes the same cases run for each.

#include "ftp/PublishJob.h"

#include "ftp/CertificateStore.h"
#include "platform/Folders.h"
#include "support/FtpServerProcess.h"
#include "support/SshServerProcess.h"
#include "support/StoredFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray feedBytes(int size)
{
    QByteArray bytes = "<?xml version=\"1.0\"?>\r\n<rss>\n\xc3\xa4\r</rss>\r\n";
    for (int i = 0; bytes.size() < size; ++i)
        bytes += char((i * 7) % 256);
    return bytes;
}

const QByteArray kOldFeed = "<?xml version=\"1.0\"?><rss><channel>alt</channel></rss>\n";

// What a server run needs: a home with a "www" folder holding the old feed.
struct ServerRun
{
    QTemporaryDir home;
    QTemporaryDir certificates;
    FtpServerProcess process;
    SshServerProcess ssh; // SFTP instead of process
    QTemporaryDir sshWork;
    QStringList options; // extra pyftpd_server.py options

    QString www() const { return home.filePath(QStringLiteral("www")); }
    quint16 port() const { return ssh.port() ? ssh.port() : process.port(); }
};

struct ProtocolRow
{
    const char* name;
    RemoteProtocol protocol;
    // Starts a server for anna / geheim; false with a reason to skip.
    bool (*start)(ServerRun& run, QString* failure);
};

bool startPlain(ServerRun& run, QString* failure)
{
    return run.process.startPyftpdlib(run.home.path(), QStringLiteral("anna"),
                                      QStringLiteral("geheim"), failure, run.options);
}

bool startTls(ServerRun& run, QString* failure)
{
    const QString dir = run.certificates.path();
    if (!FtpServerProcess::makeCertificate(dir, failure))
        return false;
    return run.process.startPyftpdlib(
        run.home.path(), QStringLiteral("anna"), QStringLiteral("geheim"), failure,
        QStringList{QStringLiteral("--tls"), dir + QStringLiteral("/cert.pem"),
                    dir + QStringLiteral("/key.pem")} +
            run.options);
}

// asyncssh, with pyftpd_server.py's failure options in its own words.
bool startSftp(ServerRun& run, QString* failure)
{
    QStringList options = run.options;
    options.replaceInStrings(QStringLiteral("--max-upload"), QStringLiteral("--max-bytes"));
    options.replaceInStrings(QStringLiteral("--cut-upload"), QStringLiteral("--cut-bytes"));
    return run.ssh.startAsyncssh(run.home.path(), QStringLiteral("anna"), QStringLiteral("geheim"),
                                 run.sshWork.path(), failure, options);
}

const ProtocolRow kRows[] = {
    {"Ftp", RemoteProtocol::Ftp, startPlain},
    {"Ftps", RemoteProtocol::Ftps, startTls},
    {"Sftp", RemoteProtocol::Sftp, startSftp},
};

class PublishJobTest : public ::testing::TestWithParam<ProtocolRow>
{
protected:
    void SetUp() override
    {
        // Trusted certificates go to this test's own application data folder.
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        ASSERT_TRUE(QDir(run->home.path()).mkdir(QStringLiteral("www")));
        writeFile(run->www() + QStringLiteral("/feed.xml"), kOldFeed);
        writeFile(m_local.filePath(QStringLiteral("feed.xml")), feedBytes(300000));
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", m_oldConfig); }

    void startServer(const QStringList& options = {})
    {
        run->options = options;
        QString failure;
        if (!GetParam().start(*run, &failure))
            GTEST_SKIP() << failure.toStdString();
    }

    FtpPublish::Settings settings(const QString& password = QStringLiteral("geheim")) const
    {
        FtpPublish::Settings s;
        s.protocol = GetParam().protocol;
        s.host = QStringLiteral("127.0.0.1");
        s.port = QString::number(run->port());
        s.username = QStringLiteral("anna");
        s.password = password;
        s.passive = true;
        s.folder = QStringLiteral("www");
        s.remoteName = QStringLiteral("feed.xml");
        return s;
    }

    // A job whose trust questions are answered yes and counted.
    std::unique_ptr<PublishJob> job(const FtpPublish::Settings& s)
    {
        RemoteHooks hooks;
        hooks.askTrust = [this](const TrustQuestion&) {
            ++trustQuestions;
            return true;
        };
        return std::make_unique<PublishJob>(
            s, [this](const QString& line) { log << line; }, hooks);
    }

    QString localFeed() const { return m_local.filePath(QStringLiteral("feed.xml")); }
    QStringList leftovers() const
    {
        return QDir(run->www()).entryList({QStringLiteral("*.tavistrel-upload")}, QDir::Files);
    }

    std::unique_ptr<ServerRun> run = std::make_unique<ServerRun>();
    QStringList log;
    int trustQuestions = 0;

private:
    QTemporaryDir m_config, m_local;
    QByteArray m_oldConfig;
};

std::string rowName(const ::testing::TestParamInfo<ProtocolRow>& info)
{
    return info.param.name;
}

TEST_P(PublishJobTest, UploadReplacesTheFeedByteForByteInPassiveAndActiveMode)
{
    startServer();
    for (bool passive : {true, false}) {
        FtpPublish::Settings s = settings();
        s.passive = passive;
        log.clear();
        ASSERT_TRUE(job(s)->upload(localFeed())) << log.join('\n').toStdString();
        EXPECT_EQ(storedFileBytes(run->www() + QStringLiteral("/feed.xml"), fileBytes(localFeed())),
                  fileBytes(localFeed()));
        EXPECT_TRUE(leftovers().isEmpty());
        EXPECT_EQ(log.mid(5),
                  QStringList({
                      QStringLiteral("Übertrage die Datei als feed.xml.tavistrel-upload..."),
                      QStringLiteral("Größe auf dem Server geprüft: 300000 Bytes."),
                      QStringLiteral("Umbenannt in feed.xml: die neue Datei ersetzt die alte."),
                      QStringLiteral("Dateien erfolgreich übertragen!"),
                  }));
    }
}

TEST_P(PublishJobTest, RefusalsAreLoggedWithTheServersAnswer)
{
    startServer();
    struct Case
    {
        const char* name;
        FtpPublish::Settings settings;
        bool test; // connection test instead of upload
        bool expected;
    };
    FtpPublish::Settings wrongPassword = settings(QStringLiteral("falsch"));
    FtpPublish::Settings missingFolder = settings();
    missingFolder.folder = QStringLiteral("/gibtsnicht");
    const Case cases[] = {
        {"wrong password", wrongPassword, false, false},
        {"refused folder", missingFolder, false, false},
        {"test ok", settings(), true, true},
        {"test wrong password", wrongPassword, true, false},
    };
    for (const Case& c : cases) {
        log.clear();
        auto j = job(c.settings);
        EXPECT_EQ(c.test ? j->testConnection() : j->upload(localFeed()), c.expected) << c.name;
        EXPECT_EQ(log.contains(QStringLiteral("Fehlermeldung des Servers:")), !c.expected)
            << c.name << "\n"
            << log.join('\n').toStdString();
        EXPECT_FALSE(log.join('\n').contains(QStringLiteral("geheim")));
    }
    EXPECT_EQ(fileBytes(run->www() + QStringLiteral("/feed.xml")), kOldFeed);
}

TEST_P(PublishJobTest, BrowsingListsAndChangesFolders)
{
    startServer();
    ASSERT_TRUE(QDir(run->www()).mkdir(QStringLiteral("unter")));
    RemoteHooks hooks;
    QStringList wire;
    hooks.wire = [&wire](bool sent, const QString& line) { wire << (sent ? ">> " : "<< ") + line; };
    hooks.askTrust = [](const TrustQuestion&) { return true; };
    auto session = makeRemoteSession(FtpPublish::remoteSettings(settings()), hooks);
    session->connect();
    EXPECT_EQ(session->currentDir(), QStringLiteral("/"));
    session->changeDir(QStringLiteral("www"));
    EXPECT_EQ(session->currentDir(), QStringLiteral("/www"));
    // Folders marked with "/"; "." and ".." left out (SFTP lists them).
    auto names = [](const TIdFTPListItems& items) {
        QStringList result;
        for (const TIdFTPListItem& item : items)
            if (item.FileName != u'.' && item.FileName != QStringLiteral(".."))
                result << item.FileName +
                              (item.ItemType == ditDirectory ? QStringLiteral("/") : QString());
        result.sort();
        return result;
    };
    EXPECT_EQ(names(session->list()),
              QStringList({QStringLiteral("feed.xml"), QStringLiteral("unter/")}));
    session->changeDir(QStringLiteral("unter"));
    EXPECT_TRUE(names(session->list()).isEmpty());
    session->changeDir(QStringLiteral(".."));
    EXPECT_EQ(session->currentDir(), QStringLiteral("/www"));
    session->quit();
    EXPECT_TRUE(wire.contains(GetParam().protocol == RemoteProtocol::Sftp
                                  ? QStringLiteral(">> login anna (Passwort)")
                                  : QStringLiteral(">> PASS *********")));
    EXPECT_FALSE(wire.join('\n').contains(QStringLiteral("geheim")));
}

// A server that stops the upload part-way: the old feed stays as it was and
// no temporary file is left.
TEST_P(PublishJobTest, FailedUploadLeavesTheOldFeedIntact)
{
    struct Case
    {
        const char* name;
        QStringList options;
    };
    const Case cases[] = {
        {"write limit", {QStringLiteral("--max-upload"), QStringLiteral("100000")}},
        {"connection cut", {QStringLiteral("--cut-upload"), QStringLiteral("100000")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        run = std::make_unique<ServerRun>();
        ASSERT_TRUE(QDir(run->home.path()).mkdir(QStringLiteral("www")));
        writeFile(run->www() + QStringLiteral("/feed.xml"), kOldFeed);
        startServer(c.options);
        log.clear();
        bool stored = true;
        try {
            stored = job(settings())->upload(localFeed());
        } catch (const Error& e) {
            stored = false;
            log << e.message();
        }
        EXPECT_FALSE(stored);
        EXPECT_EQ(fileBytes(run->www() + QStringLiteral("/feed.xml")), kOldFeed)
            << log.join('\n').toStdString();
        EXPECT_TRUE(leftovers().isEmpty()) << log.join('\n').toStdString();
    }
}

TEST_P(PublishJobTest, CancelLeavesTheOldFeedIntact)
{
    startServer();
    writeFile(localFeed(), feedBytes(64 * 1024 * 1024));
    auto j = job(settings());
    const QString temporary = run->www() + QStringLiteral("/feed.xml.tavistrel-upload");
    std::atomic<bool> done{false};
    // Cancels once the temporary file has started to grow.
    std::thread canceller([&] {
        while (!done.load() && QFileInfo(temporary).size() < 1024 * 1024)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        j->abort();
    });
    EXPECT_THROW(j->upload(localFeed()), Error);
    done.store(true);
    canceller.join();
    EXPECT_EQ(fileBytes(run->www() + QStringLiteral("/feed.xml")), kOldFeed);
    EXPECT_TRUE(leftovers().isEmpty()) << log.join('\n').toStdString();
}

// A server that refuses the temporary name or the rename (permissions, a
// rename it does not offer): the job stores the final name directly and says
// so in the same words over every protocol.
TEST_P(PublishJobTest, RefusedTemporaryNameOrRenameStoresTheFinalNameDirectly)
{
    const bool sftp = GetParam().protocol == RemoteProtocol::Sftp;
    struct Case
    {
        const char* name;
        QStringList ftpOptions; // empty: SFTP only
        QStringList sftpOptions;
        QString line; // %1 the server's reason
        const char* ftpReason;
        const char* sftpReason;
    };
    const QString nameLine = QStringLiteral("Der Server lehnt den vorläufigen Namen ab (%1); die "
                                            "Datei wird direkt als feed.xml gespeichert.");
    const QString renameLine = QStringLiteral("Der Server lehnt das Umbenennen ab (%1); die Datei "
                                              "wird direkt als feed.xml gespeichert.");
    const Case cases[] = {
        {"temporary name refused",
         {"--refuse-upload-names"},
         {"--refuse-upload-names"},
         nameLine,
         "Name not allowed.",
         "Permission denied"},
        {"rename refused",
         {"--refuse-rename"},
         {"--refuse-rename", "3"},
         renameLine,
         "Permission denied.",
         "Rename refused"},
        {"rename failed", {}, {"--refuse-rename", "4"}, renameLine, "", "Rename refused"},
        {"rename unsupported", {}, {"--refuse-rename", "8"}, renameLine, "", "Rename refused"},
    };
    for (const Case& c : cases) {
        if (!sftp && c.ftpOptions.isEmpty())
            continue;
        SCOPED_TRACE(c.name);
        run = std::make_unique<ServerRun>();
        ASSERT_TRUE(QDir(run->home.path()).mkdir(QStringLiteral("www")));
        writeFile(run->www() + QStringLiteral("/feed.xml"), kOldFeed);
        startServer(sftp ? c.sftpOptions : c.ftpOptions);
        log.clear();
        ASSERT_TRUE(job(settings())->upload(localFeed())) << log.join(u'\n').toStdString();
        const QString expected = c.line.arg(QString::fromUtf8(sftp ? c.sftpReason : c.ftpReason));
        EXPECT_TRUE(log.contains(expected)) << log.join('\n').toStdString();
        EXPECT_EQ(log.back(), QStringLiteral("Dateien erfolgreich übertragen!"));
        const QString stored = run->www() + QStringLiteral("/feed.xml");
        EXPECT_EQ(storedFileBytes(stored, fileBytes(localFeed())), fileBytes(localFeed()));
        EXPECT_TRUE(leftovers().isEmpty()) << log.join('\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Protocols, PublishJobTest, ::testing::ValuesIn(kRows), rowName);

// --- FTPS only ----------------------------------------------------------------

class FtpsTrust : public PublishJobTest
{
};

TEST_P(FtpsTrust, UntrustedCertificateIsRefusedHeadlessBeforeTheLogin)
{
    startServer();
    PublishJob headless(settings(), [this](const QString& line) { log << line; });
    try {
        headless.upload(localFeed());
        ADD_FAILURE() << "uploaded to an untrusted server";
    } catch (const EUntrustedServer& e) {
        const QString fingerprint = sha256Fingerprint(
            QSslCertificate::fromPath(run->certificates.filePath(QStringLiteral("cert.pem")))
                .value(0));
        EXPECT_TRUE(e.message().contains(fingerprint)) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(CertificateStore::defaultPath()));
        EXPECT_TRUE(e.message().contains(QStringLiteral("selbst signiert")));
    }
    const QStringList commands = run->process.receivedCommands();
    EXPECT_TRUE(commands.contains(QStringLiteral("AUTH TLS")));
    EXPECT_FALSE(commands.filter(QStringLiteral("USER")).size() +
                     commands.filter(QStringLiteral("PASS")).size() >
                 0)
        << commands.join('\n').toStdString();
    EXPECT_EQ(fileBytes(run->www() + QStringLiteral("/feed.xml")), kOldFeed);
}

TEST_P(FtpsTrust, NoAnswerSendsNoPasswordAndYesIsRemembered)
{
    startServer();
    std::vector<TrustQuestion> asked;
    auto runWith = [&](bool answer) {
        RemoteHooks hooks;
        hooks.askTrust = [&](const TrustQuestion& q) {
            asked.push_back(q);
            return answer;
        };
        PublishJob j(
            settings(), [this](const QString& line) { log << line; }, hooks);
        return j.testConnection();
    };
    EXPECT_THROW(runWith(false), EUntrustedServer);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(run->process.receivedCommands().contains(QStringLiteral("PASS")));
    EXPECT_EQ(asked[0].host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(asked[0].port, run->process.port());
    EXPECT_EQ(asked[0].subject, QStringLiteral("127.0.0.1, Tavistrel Test"));
    EXPECT_EQ(asked[0].trustFile, CertificateStore::defaultPath());
    EXPECT_EQ(asked[0].fingerprint.size(), 32 * 3 - 1);
    EXPECT_FALSE(QFile::exists(CertificateStore::defaultPath()));

    EXPECT_TRUE(runWith(true));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_TRUE(run->process.receivedCommands().contains(QStringLiteral("PASS")));
    const QByteArray stored = fileBytes(CertificateStore::defaultPath());
    EXPECT_TRUE(stored.startsWith("# 127.0.0.1:" + QByteArray::number(run->process.port()) + "\n"))
        << stored.constData();
    EXPECT_EQ(QFileInfo(CertificateStore::defaultPath()).permissions(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                  QFileDevice::WriteUser);

    // Trusted from then on: no more questions, also headless.
    PublishJob headless(settings(), [](const QString&) {});
    EXPECT_TRUE(headless.testConnection());
    EXPECT_EQ(asked.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Tls, FtpsTrust, ::testing::Values(kRows[1]), rowName);

// A server without TLS: FTPS stops at AUTH TLS and never sends the password.
TEST(FtpsRefused, ServerWithoutTlsGetsNoPassword)
{
    QTemporaryDir home;
    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startPyftpdlib(home.path(), QStringLiteral("anna"), QStringLiteral("geheim"),
                                      &failure))
        << failure.toStdString();
    FtpPublish::Settings s;
    s.protocol = RemoteProtocol::Ftps;
    s.host = QStringLiteral("127.0.0.1");
    s.port = QString::number(server.port());
    s.username = QStringLiteral("anna");
    s.password = QStringLiteral("geheim");
    PublishJob j(s, [](const QString&) {});
    try {
        j.testConnection();
        ADD_FAILURE() << "logged in without TLS";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("AUTH TLS"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("Passwort wurde nicht gesendet")));
    }
    EXPECT_FALSE(server.receivedCommands().contains(QStringLiteral("PASS")));
}

// vsftpd requires the data connections to resume the control connection's
// TLS session (require_ssl_reuse, its default).
TEST(FtpsVsftpd, UploadAndListingResumeTheTlsSession)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "vsftpd tests need root; skipped";
    QTemporaryDir top, certificates, config;
    QString failure;
    ASSERT_TRUE(FtpServerProcess::makeCertificate(certificates.path(), &failure))
        << failure.toStdString();
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString root = FtpServerProcess::makeVsftpdRoot(top.path());
    FtpServerProcess server;
    ASSERT_TRUE(server.startVsftpd(root, top.path(), &failure,
                                   certificates.filePath(QStringLiteral("cert.pem")),
                                   certificates.filePath(QStringLiteral("key.pem"))))
        << failure.toStdString();
    CertificateStore(CertificateStore::defaultPath())
        .trust(
            QStringLiteral("127.0.0.1"), server.port(),
            QSslCertificate::fromPath(certificates.filePath(QStringLiteral("cert.pem"))).value(0));
    const QByteArray bytes = feedBytes(2 * 1024 * 1024);
    writeFile(top.filePath(QStringLiteral("local.xml")), bytes);
    for (bool passive : {true, false}) {
        FtpPublish::Settings s;
        s.protocol = RemoteProtocol::Ftps;
        s.host = QStringLiteral("127.0.0.1");
        s.port = QString::number(server.port());
        s.username = QStringLiteral("anonymous");
        s.passive = passive;
        s.folder = QStringLiteral("upload");
        s.remoteName = QStringLiteral("feed.xml");
        QStringList log;
        PublishJob j(s, [&log](const QString& line) { log << line; });
        ASSERT_TRUE(j.upload(top.filePath(QStringLiteral("local.xml"))))
            << log.join('\n').toStdString();
        EXPECT_EQ(storedFileBytes(root + QStringLiteral("/upload/feed.xml"), bytes), bytes);

        auto session = makeRemoteSession(FtpPublish::remoteSettings(s), {});
        session->connect();
        session->changeDir(QStringLiteral("upload"));
        const TIdFTPListItems items = session->list();
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].FileName, QStringLiteral("feed.xml"));
        EXPECT_EQ(items[0].Size, bytes.size());
        session->quit();
    }
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

} // namespace
