// tavistrel --upload run as its own process, without a display.

#include "document/ProjectFile.h"
#include "support/FtpServerProcess.h"
#include "support/ProgramRun.h"
#include "support/ScriptedFtpServer.h"
#include "support/SshServerProcess.h"
#include "support/StoredFile.h"
#include "support/TestHttpServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class CliUpload : public ::testing::Test
{
protected:
    // A project whose FTP settings point at the server.
    QString writeProject(quint16 port, const QString& user, const QString& password,
                         const QString& folder, const QString& protocol = QStringLiteral("FTP"),
                         const QString& feedUrl = {})
    {
        FeedDocument project;
        project.setText(u"cboFTPProtocol", protocol);
        project.setText(u"edtFeedUrl", feedUrl);
        project.setText(u"edtFeedTitle", QStringLiteral("Vereinsnachrichten"));
        project.setText(u"edtFTPServer", QStringLiteral("127.0.0.1"));
        project.setText(u"edtFTPPort", QString::number(port));
        project.setText(u"edtFTPUserName", user);
        project.setText(u"edtFTPPassword", password);
        project.setText(u"edtFTPFolder", folder);
        project.setText(u"edtFileNameRSS", QStringLiteral("feed.xml"));
        project.setFlag(u"chkFTPPassive", true);
        const QString file = m_dir.filePath(QStringLiteral("verein.tvst"));
        ProjectFile::SaveProjectFile(project, file);
        return file;
    }

    ProgramRun run(const QStringList& args, bool serveEvents = false)
    {
        // HOME and the configuration folder of this test: its known SSH hosts.
        return runProgram(args,
                          {{QStringLiteral("TMPDIR"), m_tmp.path()},
                           {QStringLiteral("HOME"), m_home.path()},
                           {QStringLiteral("XDG_CONFIG_HOME"), configFolder()},
                           {QStringLiteral("SSH_AUTH_SOCK"), QString()}},
                          serveEvents);
    }

    QString configFolder() const { return m_home.filePath(QStringLiteral(".config")); }
    QString knownHosts() const { return configFolder() + QStringLiteral("/Tavistrel/known_hosts"); }

    // What the runs left in their private temporary folder.
    QStringList leftovers() const
    {
        QStringList found;
        QDirIterator it(m_tmp.filePath(QStringLiteral("tavistrel-%1").arg(::getuid())),
                        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next();
        return found;
    }

    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir m_dir;
    QTemporaryDir m_tmp;
    QTemporaryDir m_home;
};

// %1 user, %2 folder, %3 size of the RSS file.
const QString kSuccess = QStringLiteral("Versuche Verbindung aufzunehmen...\n"
                                        "Username: %1\n"
                                        "Passwort: ********\n"
                                        "Verbindung hergestellt!\n"
                                        "Verzeichniswechsel nach: %2\n"
                                        "Übertrage die Datei als feed.xml.tavistrel-upload...\n"
                                        "Größe auf dem Server geprüft: %3 Bytes.\n"
                                        "Umbenannt in feed.xml: die neue Datei ersetzt die alte.\n"
                                        "Dateien erfolgreich übertragen!\n");

TEST_F(CliUpload, StoresTheFileAgainstPyftpdlib)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("www")));
    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startPyftpdlib(home.path(), "anna", "geheim-123", &failure))
        << failure.toStdString();
    const ProgramRun r =
        run({"--upload", writeProject(server.port(), "anna", "geheim-123", "www")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const qint64 size = sentSize(r.out);
    EXPECT_EQ(r.out, kSuccess.arg("anna", "www").arg(size));
    const QByteArray stored = storedFileOfSize(home.filePath(QStringLiteral("www/feed.xml")), size);
    EXPECT_EQ(stored.size(), size);
    EXPECT_TRUE(stored.contains("Vereinsnachrichten"));
    EXPECT_EQ(leftovers(), QStringList());
    EXPECT_FALSE((r.out + r.err).contains(QStringLiteral("geheim-123")));
}

// SFTP: never asks; an unknown host key ends the run before the login, with
// the fingerprint and the file to trust it in. Trusted there by hand, the
// upload goes through.
TEST_F(CliUpload, SftpRefusesAnUnknownHostKeyAndStoresOnceItIsTrusted)
{
    QTemporaryDir root, work;
    ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("www")));
    SshServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startAsyncssh(root.path(), "anna", "geheim-123", work.path(), &failure))
        << failure.toStdString();
    const QString project = writeProject(server.port(), "anna", "geheim-123", "www", "SFTP");

    const ProgramRun refused = run({"--upload", project});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(server.fingerprint())) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(knownHosts())) << refused.err.toStdString();
    EXPECT_FALSE(server.output().contains(QStringLiteral("auth "))) << "a login was tried";
    EXPECT_FALSE(QFile::exists(root.filePath(QStringLiteral("www/feed.xml"))));

    QDir().mkpath(configFolder() + QStringLiteral("/Tavistrel"));
    QFile trusted(knownHosts());
    ASSERT_TRUE(trusted.open(QIODevice::WriteOnly));
    trusted.write(
        QStringLiteral("[127.0.0.1]:%1 %2\n").arg(server.port()).arg(server.publicKey()).toUtf8());
    trusted.close();
    const ProgramRun r = run({"--upload", project});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, kSuccess.arg("anna", "www").arg(sentSize(r.out)));
    EXPECT_EQ(readFile(root.filePath(QStringLiteral("www/feed.xml"))).size(), sentSize(r.out));
    EXPECT_FALSE((r.out + r.err).contains(QStringLiteral("geheim-123")));
}

// The feed's address served by a web server over the FTP folder: the upload
// then reads the feed back; an old copy there (a cache) gives a warning.
TEST_F(CliUpload, FetchesTheFeedAddressAfterTheUpload)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("www")));
    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startPyftpdlib(home.path(), "anna", "geheim-123", &failure))
        << failure.toStdString();
    TestHttpServer web;
    web.serveFolder(home.path());
    const QString address = QString::fromLatin1(web.baseUrl()) + QStringLiteral("/www/feed.xml");

    const ProgramRun fresh =
        run({"--upload", writeProject(server.port(), "anna", "geheim-123", "www", "FTP", address)},
            true);
    EXPECT_EQ(fresh.exitCode, 0) << fresh.err.toStdString();
    EXPECT_EQ(fresh.out, kSuccess.arg("anna", "www").arg(sentSize(fresh.out)) +
                             QStringLiteral("Feed unter %1 abrufbar und aktuell.\n").arg(address));

    web.route("/www/feed.xml", {200, "application/rss+xml", "<rss version=\"2.0\"/>", {}});
    const ProgramRun stale =
        run({"--upload", writeProject(server.port(), "anna", "geheim-123", "www", "FTP", address)},
            true);
    EXPECT_EQ(stale.exitCode, 0) << stale.err.toStdString();
    EXPECT_TRUE(stale.out.startsWith(kSuccess.arg("anna", "www").arg(sentSize(stale.out)) +
                                     QStringLiteral("Warnung: Unter %1 liegt nicht").arg(address)))
        << stale.out.toStdString();

    web.route("/www/feed.xml", {404, "text/html", "<h1>404</h1>", {}});
    const ProgramRun missing =
        run({"--upload", writeProject(server.port(), "anna", "geheim-123", "www", "FTP", address)},
            true);
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_TRUE(missing.out.contains(QStringLiteral("HTTP-Status 404")))
        << missing.out.toStdString();
}

TEST_F(CliUpload, WrongPasswordFailsWithTheServersAnswer)
{
    QTemporaryDir home;
    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startPyftpdlib(home.path(), "anna", "geheim", &failure))
        << failure.toStdString();
    const ProgramRun r = run({"--upload", writeProject(server.port(), "anna", "falsch-42", "")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(
        r.out.endsWith(QStringLiteral("Fehlermeldung des Servers:\nAuthentication failed.\n")))
        << r.out.toStdString();
    EXPECT_FALSE((r.out + r.err).contains(QStringLiteral("falsch-42")));
    EXPECT_TRUE(QDir(home.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(CliUpload, StoresTheFileAgainstVsftpd)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "vsftpd tests need root; skipped";
    QTemporaryDir top;
    const QString root = FtpServerProcess::makeVsftpdRoot(top.path());
    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startVsftpd(root, top.path(), &failure)) << failure.toStdString();
    const ProgramRun r = run({"--upload", writeProject(server.port(), "anonymous", "", "/upload")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const qint64 size = sentSize(r.out);
    EXPECT_EQ(r.out, kSuccess.arg("anonymous", "/upload").arg(size));
    EXPECT_EQ(storedFileOfSize(root + QStringLiteral("/upload/feed.xml"), size).size(), size);
}

TEST_F(CliUpload, RefusesBadArgumentsAndSettings)
{
    EXPECT_EQ(run({"--upload"}).exitCode, 2);
    const ProgramRun missing = run({"--upload", m_dir.filePath(QStringLiteral("nichtda.tvst"))});
    EXPECT_EQ(missing.exitCode, 1);
    const ProgramRun badPort = [&] {
        FeedDocument project;
        project.setText(u"edtFTPServer", QStringLiteral("127.0.0.1"));
        project.setText(u"edtFTPPort", QStringLiteral("abc"));
        project.setText(u"edtFileNameRSS", QStringLiteral("rss.xml"));
        const QString file = m_dir.filePath(QStringLiteral("port.tvst"));
        ProjectFile::SaveProjectFile(project, file);
        return run({"--upload", file});
    }();
    EXPECT_EQ(badPort.exitCode, 1);
    EXPECT_TRUE(badPort.err.contains(
        QStringLiteral("Fehler: FTP-Port muss eine Zahl sein. Standardport ist 21.")));
    EXPECT_TRUE(badPort.out.isEmpty());
}

// Ctrl+C or SIGTERM during the upload: the temporary file is deleted on a
// new connection, the old feed is never touched, the exit status is 1.
class CliInterrupt : public CliUpload, public ::testing::WithParamInterface<int>
{
};

TEST_P(CliInterrupt, EndsCleanlyAndDeletesTheTemporaryFile)
{
    using namespace ftpact;
    ScriptedFtpServer server;
    // The upload hangs until the client has given up.
    server.on(QStringLiteral("STOR feed.xml.tavistrel-upload"),
              {reply("150 Ready\r\n"), pause(3000), receiveData(), reply("226 Stored\r\n")});
    server.start();
    const QString project = writeProject(server.port(), QStringLiteral("anna"),
                                         QStringLiteral("pw"), QStringLiteral("www"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("TMPDIR"), m_tmp.path());
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TAVISTREL_PROGRAM_PATH), {QStringLiteral("--upload"), project});
    QByteArray out;
    while (!out.contains(".tavistrel-upload...") && process.waitForReadyRead(10000))
        out += process.readAllStandardOutput();
    ASSERT_TRUE(out.contains(".tavistrel-upload...")) << out.constData();
    ::kill(pid_t(process.processId()), GetParam());
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("abgebrochen"))) << err.toStdString();
    const QStringList transcript = server.transcript();
    EXPECT_TRUE(transcript.contains(QStringLiteral("DELE feed.xml.tavistrel-upload")))
        << transcript.join('\n').toStdString();
    EXPECT_TRUE(transcript.filter(QStringLiteral("RNFR")).isEmpty());
    EXPECT_FALSE(transcript.contains(QStringLiteral("STOR feed.xml")));
    // The local file of the run is gone too.
    EXPECT_EQ(leftovers(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Signals, CliInterrupt, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                             return std::string(info.param == SIGINT ? "SIGINT" : "SIGTERM");
                         });

} // namespace
