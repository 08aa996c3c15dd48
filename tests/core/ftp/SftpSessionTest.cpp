// The SFTP session against real servers started per test: asyncssh (a
// password, no root needed) and OpenSSH's sshd (key login, needs root).
// HOME and the configuration folder point into a temporary folder, so the
// host keys the tests trust and the keys they log in with are their own.

#include "ftp/SftpSession.h"

#include "support/QtPrinters.h"
#include "support/SshServerProcess.h"
#include "support/StoredFile.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

enum class Kind { Asyncssh, Sshd };

const char* kindName(Kind kind)
{
    return kind == Kind::Asyncssh ? "asyncssh" : "sshd";
}

void PrintTo(Kind kind, std::ostream* out)
{
    *out << kindName(kind);
}

QByteArray contentOfSize(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 997) % 256);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const TIdFTPListItem* findItem(const TIdFTPListItems& items, const QString& name)
{
    for (const TIdFTPListItem& item : items)
        if (item.FileName == name)
            return &item;
    return nullptr;
}

qsizetype openFiles()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

// An environment variable set for one test, restored after it.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// One server with its files: "readme.txt" (6 bytes, a fixed time),
// "Ordner ä" (writable), "gesperrt" (refused), "link" (to "Ordner ä").
class SftpServerTest : public ::testing::TestWithParam<Kind>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_top.isValid());
        home = m_top.filePath(QStringLiteral("home"));
        root = m_top.filePath(QStringLiteral("root"));
        work = m_top.filePath(QStringLiteral("work"));
        for (const QString& dir : {home + QStringLiteral("/.ssh"), root, work})
            QDir().mkpath(dir);
        m_home = std::make_unique<ScopedEnv>("HOME", home.toUtf8());
        m_config = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
        m_agent = std::make_unique<ScopedEnv>("SSH_AUTH_SOCK", QByteArray());

        writeFile(root + QStringLiteral("/readme.txt"), "hello\n");
        QFile readme(root + QStringLiteral("/readme.txt"));
        readme.open(QIODevice::ReadWrite);
        readme.setFileTime(QDateTime::fromSecsSinceEpoch(1700000000),
                           QFileDevice::FileModificationTime);
        readme.close();
        QDir(root).mkdir(QStringLiteral("Ordner ä"));
        QDir(root).mkdir(QStringLiteral("gesperrt"));
        QFile::link(QStringLiteral("Ordner ä"), root + QStringLiteral("/link"));
        startServer();
    }

    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "server said:\n" << server.errors().toStdString();
    }

    void startServer()
    {
        QString failure;
        if (GetParam() == Kind::Asyncssh) {
            settings.username = QStringLiteral("anna");
            settings.password = QStringLiteral("geheim");
            ASSERT_TRUE(server.startAsyncssh(root, settings.username, settings.password, work,
                                             &failure, serverOptions))
                << failure.toStdString();
            startDir = QStringLiteral("/");
        } else {
            if (::geteuid() != 0)
                GTEST_SKIP() << "sshd tests need root; skipped";
            // The unprivileged account logs in with a key from HOME; the
            // server reads the key list as that account.
            settings.username = QStringLiteral("nobody");
            settings.password.clear();
            const QString key = home + QStringLiteral("/.ssh/id_ed25519");
            ASSERT_TRUE(SshServerProcess::makeKey(key, &failure)) << failure.toStdString();
            const QString authorized = work + QStringLiteral("/authorized_keys");
            QFile::copy(key + QStringLiteral(".pub"), authorized);
            for (const QString& path : {m_top.path(), work, root, authorized})
                ::chmod(QFile::encodeName(path).constData(), 0755);
            ::chown(QFile::encodeName(root + QStringLiteral("/Ordner ä")).constData(), 65534,
                    65534);
            ::chmod(QFile::encodeName(root + QStringLiteral("/gesperrt")).constData(), 0555);
            ASSERT_TRUE(server.startSshd(root, settings.username, authorized, work, &failure))
                << failure.toStdString();
            startDir = root;
        }
        settings.protocol = RemoteProtocol::Sftp;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = server.port();
    }

    QString knownHosts() const { return home + QStringLiteral("/.config/Tavistrel/known_hosts"); }
    QString hostEntry() const
    {
        return QStringLiteral("[127.0.0.1]:%1 %2").arg(server.port()).arg(server.publicKey());
    }
    void trustServer() const
    {
        QDir().mkpath(home + QStringLiteral("/.config/Tavistrel"));
        writeFile(knownHosts(), (hostEntry() + u'\n').toUtf8());
    }

    // A session that trusts the server and records its wire lines.
    std::unique_ptr<RemoteSession> session(SftpLimits limits = {})
    {
        trustServer();
        RemoteHooks hooks;
        hooks.wire = [this](bool sent, const QString& line) {
            wireLines.append((sent ? QStringLiteral(">> ") : QStringLiteral("<< ")) + line);
        };
        return makeSftpSession(settings, std::move(hooks), limits);
    }

    QString inFolder(const QString& name) const
    {
        return startDir == u'/' ? u'/' + name : startDir + u'/' + name;
    }

    QTemporaryDir m_top;
    QString home, root, work, startDir;
    std::unique_ptr<ScopedEnv> m_home, m_config, m_agent;
    QStringList serverOptions;
    SshServerProcess server;
    RemoteSettings settings;
    QStringList wireLines;
};

std::string kindParamName(const ::testing::TestParamInfo<Kind>& info)
{
    return kindName(info.param);
}

TEST_P(SftpServerTest, ListsAndChangesFolder)
{
    auto sftp = session();
    sftp->connect();
    ASSERT_TRUE(sftp->connected());
    EXPECT_EQ(sftp->currentDir(), startDir);

    const TIdFTPListItems items = sftp->list();
    const TIdFTPListItem* readme = findItem(items, QStringLiteral("readme.txt"));
    const TIdFTPListItem* folder = findItem(items, QStringLiteral("Ordner ä"));
    const TIdFTPListItem* link = findItem(items, QStringLiteral("link"));
    ASSERT_TRUE(readme && folder && link);
    EXPECT_EQ(readme->ItemType, ditFile);
    EXPECT_EQ(readme->Size, 6);
    EXPECT_EQ(readme->ModifiedDate, QDateTime::fromSecsSinceEpoch(1700000000));
    EXPECT_EQ(readme->ModifiedDate.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(folder->ItemType, ditDirectory);
    EXPECT_EQ(link->ItemType, ditSymbolicLinkDir);
    for (const char* dot : {".", ".."}) {
        const TIdFTPListItem* item = findItem(items, QString::fromLatin1(dot));
        ASSERT_TRUE(item) << dot;
        EXPECT_EQ(item->ItemType, ditDirectory);
    }

    sftp->changeDir(QStringLiteral("Ordner ä"));
    EXPECT_EQ(sftp->currentDir(), inFolder(QStringLiteral("Ordner ä")));
    EXPECT_EQ(findItem(sftp->list(), QStringLiteral("readme.txt")), nullptr);
    sftp->changeDir(QStringLiteral(".."));
    EXPECT_EQ(sftp->currentDir(), startDir);
    EXPECT_THROW(sftp->changeDir(QStringLiteral("fehlt")), ERemoteRefusal);
    EXPECT_THROW(sftp->changeDir(QStringLiteral("readme.txt")), ERemoteRefusal);
    EXPECT_EQ(sftp->currentDir(), startDir);

    EXPECT_TRUE(wireLines.contains(QStringLiteral(">> ls ") + startDir));
    for (const QString& line : wireLines)
        EXPECT_FALSE(line.contains(QStringLiteral("geheim"))) << line.toStdString();
    sftp->quit();
    EXPECT_FALSE(sftp->connected());
}

// Sizes around the pipeline's chunks: empty, one byte, one chunk, several
// megabytes with a ragged end.
TEST_P(SftpServerTest, UploadsByteForByte)
{
    auto sftp = session();
    sftp->connect();
    sftp->changeDir(QStringLiteral("Ordner ä"));
    for (qint64 size : {0, 1, 64 * 1024, 3 * 1024 * 1024 + 17}) {
        const QByteArray bytes = contentOfSize(size);
        const QString local = work + QStringLiteral("/local.bin");
        writeFile(local, bytes);
        sftp->put(local, QStringLiteral("feed ü.xml"));
        EXPECT_EQ(storedFileBytes(root + QStringLiteral("/Ordner ä/feed ü.xml"), bytes), bytes)
            << size;
        EXPECT_EQ(sftp->size(QStringLiteral("feed ü.xml")), size);
    }
}

TEST_P(SftpServerTest, RenameReplacesAnExistingFileAndRemoveDeletes)
{
    auto sftp = session();
    sftp->connect();
    sftp->changeDir(QStringLiteral("Ordner ä"));
    const QString folder = root + QStringLiteral("/Ordner ä/");
    writeFile(work + QStringLiteral("/old"), "old feed");
    writeFile(work + QStringLiteral("/new"), "the new feed");
    sftp->put(work + QStringLiteral("/old"), QStringLiteral("feed.xml"));
    sftp->put(work + QStringLiteral("/new"), QStringLiteral("feed.xml.tavistrel-upload"));

    sftp->rename(QStringLiteral("feed.xml.tavistrel-upload"), QStringLiteral("feed.xml"));
    EXPECT_EQ(readFile(folder + QStringLiteral("feed.xml")), "the new feed");
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("feed.xml.tavistrel-upload")));
    // Onto a name that does not exist yet, and an absolute path.
    sftp->rename(inFolder(QStringLiteral("Ordner ä/feed.xml")), QStringLiteral("neu.xml"));
    EXPECT_EQ(readFile(folder + QStringLiteral("neu.xml")), "the new feed");

    sftp->remove(QStringLiteral("neu.xml"));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("neu.xml")));
    EXPECT_THROW(sftp->remove(QStringLiteral("neu.xml")), ERemoteRefusal);
    EXPECT_THROW(sftp->size(QStringLiteral("neu.xml")), ERemoteRefusal);
    EXPECT_THROW(sftp->rename(QStringLiteral("fehlt"), QStringLiteral("x")), ERemoteRefusal);
    EXPECT_TRUE(sftp->connected());
}

TEST_P(SftpServerTest, RefusedFolderNamesTheServersReason)
{
    auto sftp = session();
    sftp->connect();
    writeFile(work + QStringLiteral("/feed"), "feed");
    try {
        sftp->put(work + QStringLiteral("/feed"), QStringLiteral("gesperrt/feed.xml"));
        FAIL() << "no refusal";
    } catch (const ERemoteRefusal& e) {
        EXPECT_EQ(e.ErrorCode(), 3);
        EXPECT_TRUE(e.message().contains(QStringLiteral("keine Berechtigung")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("Permission denied")))
            << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(root + QStringLiteral("/gesperrt/feed.xml")));
    // The session goes on.
    EXPECT_EQ(sftp->size(QStringLiteral("readme.txt")), 6);
}

TEST_P(SftpServerTest, WrongLoginIsARefusal)
{
    if (GetParam() == Kind::Asyncssh)
        settings.password = QStringLiteral("Kennwort-123");
    else
        QFile::remove(home + QStringLiteral("/.ssh/id_ed25519")); // no key to offer
    auto sftp = session();
    try {
        sftp->connect();
        FAIL() << "login accepted";
    } catch (const ERemoteRefusal& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("abgelehnt"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(settings.username));
        EXPECT_FALSE(e.message().contains(QStringLiteral("Kennwort-123")));
    }
    EXPECT_FALSE(sftp->connected());
}

// The host key decides before any login: trusted by hand, asked, refused.
struct TrustCase
{
    const char* name;
    enum Known { None, Same, Other, OnlyInUsersFile } known;
    enum Answer { NoAsker, Yes, No } answer;
    bool connects;
    bool asked;
};

const TrustCase kTrustCases[] = {
    {"known_key", TrustCase::Same, TrustCase::NoAsker, true, false},
    {"unknown_headless", TrustCase::None, TrustCase::NoAsker, false, false},
    {"unknown_accepted", TrustCase::None, TrustCase::Yes, true, true},
    {"unknown_declined", TrustCase::None, TrustCase::No, false, true},
    {"changed_key", TrustCase::Other, TrustCase::Yes, false, false},
    // Only our own file counts, never ~/.ssh/known_hosts.
    {"known_only_to_ssh", TrustCase::OnlyInUsersFile, TrustCase::NoAsker, false, false},
};

class SftpTrustTest : public SftpServerTest
{
};

TEST_P(SftpTrustTest, HostKeyDecidesBeforeLogin)
{
    for (const TrustCase& c : kTrustCases) {
        SCOPED_TRACE(c.name);
        QFile::remove(knownHosts());
        QFile::remove(home + QStringLiteral("/.ssh/known_hosts"));
        QDir().mkpath(home + QStringLiteral("/.config/Tavistrel"));
        if (c.known == TrustCase::OnlyInUsersFile)
            writeFile(home + QStringLiteral("/.ssh/known_hosts"), (hostEntry() + u'\n').toUtf8());
        if (c.known == TrustCase::Same)
            writeFile(knownHosts(), (hostEntry() + u'\n').toUtf8());
        if (c.known == TrustCase::Other) {
            QString failure;
            ASSERT_TRUE(SshServerProcess::makeKey(work + QStringLiteral("/other"), &failure));
            const QByteArray other = readFile(work + QStringLiteral("/other.pub"));
            writeFile(knownHosts(), QStringLiteral("[127.0.0.1]:%1 ").arg(server.port()).toUtf8() +
                                        other.left(other.lastIndexOf(' ')) + '\n');
        }
        const QByteArray before = readFile(knownHosts());
        server.output();
        const qsizetype loginsBefore = server.output().count(QStringLiteral("auth "));

        const qsizetype filesBefore = openFiles();
        QList<TrustQuestion> questions;
        RemoteHooks hooks;
        if (c.answer != TrustCase::NoAsker)
            hooks.askTrust = [&](const TrustQuestion& q) {
                questions.append(q);
                return c.answer == TrustCase::Yes;
            };
        auto sftp = makeRemoteSession(settings, std::move(hooks));
        if (c.connects) {
            EXPECT_NO_THROW(sftp->connect());
        } else {
            try {
                sftp->connect();
                ADD_FAILURE() << "connected";
            } catch (const EUntrustedServer& e) {
                EXPECT_TRUE(e.message().contains(server.fingerprint()))
                    << e.message().toStdString();
                EXPECT_TRUE(e.message().contains(knownHosts())) << e.message().toStdString();
                EXPECT_EQ(e.message().contains(QStringLiteral("WARNUNG")),
                          c.known == TrustCase::Other);
            }
            EXPECT_EQ(readFile(knownHosts()), before);
        }
        EXPECT_EQ(sftp->connected(), c.connects);
        ASSERT_EQ(questions.size(), c.asked ? 1 : 0);
        if (c.asked) {
            EXPECT_EQ(questions[0].kind, TrustQuestion::Kind::HostKey);
            EXPECT_EQ(questions[0].host, QStringLiteral("127.0.0.1"));
            EXPECT_EQ(questions[0].port, server.port());
            EXPECT_EQ(questions[0].fingerprint, server.fingerprint());
            EXPECT_EQ(questions[0].trustFile, knownHosts());
        }
        if (c.answer == TrustCase::Yes && c.connects) {
            EXPECT_TRUE(readFile(knownHosts()).contains(hostEntry().toUtf8()));
            EXPECT_EQ(QFile::permissions(knownHosts()) & 0x0077, 0) << "readable by others";
            EXPECT_FALSE(QFile::exists(home + QStringLiteral("/.ssh/known_hosts")));
        }
        sftp->quit();
        sftp.reset();
        EXPECT_EQ(openFiles(), filesBefore) << "socket leaked or closed twice";
        if (GetParam() == Kind::Asyncssh && !c.connects) {
            EXPECT_EQ(server.output().count(QStringLiteral("auth ")), loginsBefore)
                << "a login was tried";
        }
    }
    // What was accepted once is trusted without asking.
    QFile::remove(knownHosts());
    RemoteHooks yes;
    yes.askTrust = [](const TrustQuestion&) { return true; };
    makeRemoteSession(settings, std::move(yes))->connect();
    RemoteHooks never;
    never.askTrust = [](const TrustQuestion&) -> bool { throw Error(QStringLiteral("asked")); };
    EXPECT_NO_THROW(makeRemoteSession(settings, std::move(never))->connect());
}

INSTANTIATE_TEST_SUITE_P(Servers, SftpServerTest, ::testing::Values(Kind::Asyncssh, Kind::Sshd),
                         kindParamName);
INSTANTIATE_TEST_SUITE_P(Servers, SftpTrustTest, ::testing::Values(Kind::Asyncssh, Kind::Sshd),
                         kindParamName);

// asyncssh only: its hooks make a server that hangs or runs out of space.
class SftpAsyncsshTest : public SftpServerTest
{
};

// An abort from another thread ends the running request within moments,
// whether the server keeps silent or data is flowing.
TEST_P(SftpAsyncsshTest, AbortEndsARunningRequestSoon)
{
    writeFile(work + QStringLiteral("/big"), contentOfSize(64 * 1024 * 1024));
    const struct
    {
        const char* name;
        std::function<void(RemoteSession&)> run;
    } cases[] = {
        {"stat_that_hangs", [](RemoteSession& s) { s.size(QStringLiteral("haengt")); }},
        {"upload_under_way",
         [this](RemoteSession& s) {
             s.put(work + QStringLiteral("/big"), QStringLiteral("Ordner ä/big"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto sftp = session();
        sftp->connect();
        std::thread aborter([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sftp->abort();
        });
        QElapsedTimer took;
        took.start();
        try {
            c.run(*sftp);
            ADD_FAILURE() << "no abort";
        } catch (const ERemoteRefusal&) {
            ADD_FAILURE() << "refusal instead of abort";
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Der Vorgang wurde abgebrochen."));
        }
        aborter.join();
        EXPECT_LT(took.elapsed(), 5000);
        EXPECT_FALSE(sftp->connected());
    }
    // An abort while idle fails the next operation at once.
    auto sftp = session();
    sftp->connect();
    sftp->abort();
    EXPECT_THROW(sftp->list(), Error);
    sftp->resetAbort();
    sftp->connect();
    EXPECT_EQ(sftp->size(QStringLiteral("readme.txt")), 6);
}

// A server that stops answering: a request without reply, and an upload
// whose writes are never confirmed, so the SSH window fills and sending blocks.
TEST_P(SftpAsyncsshTest, StalledRequestTimesOut)
{
    writeFile(work + QStringLiteral("/big"), contentOfSize(8 * 1024 * 1024));
    const struct
    {
        const char* name;
        std::function<void(RemoteSession&)> run;
    } cases[] = {
        {"stat_without_reply", [](RemoteSession& s) { s.size(QStringLiteral("haengt")); }},
        {"upload_without_reply",
         [this](RemoteSession& s) {
             s.put(work + QStringLiteral("/big"), QStringLiteral("haengt"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto sftp = session(SftpLimits{1000, 60 * 1024});
        sftp->connect();
        QElapsedTimer took;
        took.start();
        try {
            c.run(*sftp);
            ADD_FAILURE() << "no time-out";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().startsWith(QStringLiteral("Zeitüberschreitung")))
                << e.message().toStdString();
        }
        EXPECT_LT(took.elapsed(), 10000);
        EXPECT_FALSE(sftp->connected());
    }
}

// A write refused halfway through a pipelined upload: the refusal names the
// server's reason and the session stays usable.
class SftpFullDiskTest : public SftpServerTest
{
protected:
    void SetUp() override
    {
        serverOptions = {QStringLiteral("--max-bytes"), QStringLiteral("200000")};
        SftpServerTest::SetUp();
    }
};

TEST_P(SftpFullDiskTest, RefusedWriteDuringUploadIsARefusal)
{
    auto sftp = session();
    sftp->connect();
    writeFile(work + QStringLiteral("/big"), contentOfSize(2 * 1024 * 1024));
    try {
        sftp->put(work + QStringLiteral("/big"), QStringLiteral("Ordner ä/feed.xml"));
        ADD_FAILURE() << "no refusal";
    } catch (const ERemoteRefusal& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Disk quota exceeded")))
            << e.message().toStdString();
    }
    EXPECT_EQ(sftp->size(QStringLiteral("readme.txt")), 6);
}

INSTANTIATE_TEST_SUITE_P(Servers, SftpAsyncsshTest, ::testing::Values(Kind::Asyncssh),
                         kindParamName);
INSTANTIATE_TEST_SUITE_P(Servers, SftpFullDiskTest, ::testing::Values(Kind::Asyncssh),
                         kindParamName);

// sshd only: login without a password through the default key (in the
// test's own HOME) and through an agent holding a key kept elsewhere.
class SftpSshdTest : public SftpServerTest
{
};

TEST_P(SftpSshdTest, KeyLoginThroughAgent)
{
    const QString key = home + QStringLiteral("/.ssh/id_ed25519");
    const QString kept = work + QStringLiteral("/agent_key");
    QFile::rename(key, kept);
    QFile::rename(key + QStringLiteral(".pub"), kept + QStringLiteral(".pub"));
    const QString socket = work + QStringLiteral("/agent.sock");
    QProcess agent;
    agent.start(QStringLiteral("ssh-agent"), {QStringLiteral("-D"), QStringLiteral("-a"), socket});
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(socket); }, std::chrono::seconds(10)));
    ScopedEnv agentSocket("SSH_AUTH_SOCK", socket.toUtf8());
    // The socket file appears before the agent listens on it: try until
    // ssh-add gets through.
    QString addError;
    ASSERT_TRUE(waitUntil(
        [&] {
            QProcess add;
            add.start(QStringLiteral("ssh-add"), {kept});
            const bool added = add.waitForFinished(10000) && add.exitCode() == 0;
            addError = QString::fromLocal8Bit(add.readAllStandardError());
            return added;
        },
        std::chrono::seconds(10)))
        << addError.toStdString();

    auto sftp = session();
    EXPECT_NO_THROW(sftp->connect());
    EXPECT_TRUE(sftp->connected());
    sftp->quit();
    agent.kill();
    agent.waitForFinished();
}

INSTANTIATE_TEST_SUITE_P(Servers, SftpSshdTest, ::testing::Values(Kind::Sshd), kindParamName);

// Before any server: a listener that never greets, and a closed port.
TEST(SftpSession, AbortEndsAConnectThatHangs)
{
    QTcpServer silent; // accepted by the kernel, never answered
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    RemoteSettings settings;
    settings.protocol = RemoteProtocol::Sftp;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = silent.serverPort();
    const qsizetype filesBefore = openFiles();
    auto sftp = makeRemoteSession(settings, {});
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sftp->abort();
    });
    QElapsedTimer took;
    took.start();
    try {
        sftp->connect();
        ADD_FAILURE() << "connected";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Der Vorgang wurde abgebrochen."));
    }
    aborter.join();
    EXPECT_LT(took.elapsed(), 5000);
    sftp.reset();
    EXPECT_EQ(openFiles(), filesBefore);

    const quint16 closed = silent.serverPort();
    silent.close();
    settings.port = closed;
    auto refused = makeRemoteSession(settings, {});
    try {
        refused->connect();
        ADD_FAILURE() << "connected";
    } catch (const ERemoteRefusal&) {
        ADD_FAILURE() << "a connection failure is no refusal";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Verbindung zu 127.0.0.1:")))
            << e.message().toStdString();
    }
}

} // namespace
