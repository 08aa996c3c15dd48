// The upload command: its checks, its log and what lands on the server.

#include "FtpGuiFixture.h"
#include "app/Controls.h"
#include "ftp/CertificateStore.h"
#include "platform/Folders.h"
#include "support/SshServerProcess.h"
#include "support/StoredFile.h"
#include "support/TestHttpServer.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>

using namespace ftpact;

namespace {

qint64 sentSize(const QStringList& lines)
{
    return ::sentSize(lines.join(u'\n'));
}

QByteArray storedFeed(const QString& path, qint64 size)
{
    return storedFileOfSize(path, size);
}

// What uploads left in this test run's private temporary folder.
QStringList uploadLeftovers()
{
    QStringList found;
    QDirIterator it(Folders::privateTempFolder(),
                    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

// --- Checks before any connection --------------------------------------------

struct CheckCase
{
    const char* label; // the test's name
    const char* server;
    const char* rssName;
    const char* port;
    const char* message;
    const char* portAfter;
};

class UploadChecks : public FtpGuiTest, public ::testing::WithParamInterface<CheckCase>
{
};

TEST_P(UploadChecks, RefuseWithTheirMessageBeforeAnyConnection)
{
    const CheckCase& c = GetParam();
    setFtpFields(QString::fromUtf8(c.server), QString::fromUtf8(c.port), QStringLiteral("anna"),
                 QStringLiteral("pw"));
    form->textControl(u"edtFileNameRSS")->setText(QString::fromUtf8(c.rssName));
    trigger("actUpload");
    EXPECT_EQ(ui.messages, QStringList{QString::fromUtf8(c.message)});
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(field("edtFTPPort"), QString::fromUtf8(c.portAfter));
    // The RSS file written before the checks is gone; no log window appears.
    EXPECT_EQ(uploadLeftovers(), QStringList());
    EXPECT_FALSE(form->ftpLog().isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Messages, UploadChecks,
    ::testing::Values(
        // The first failing check ends it: the port is not looked at.
        CheckCase{"noServer", "", "", "abc",
                  "Fehler: Kein FTP-Server angegeben. Bitte geben Sie einen FTP-Server an.", "abc"},
        CheckCase{"noRssFileName", "127.0.0.1", "", "abc",
                  "Fehler: Kein RSS-Dateiname angeben. Bitte geben Sie eine RSS-Datei für den "
                  "FTP-Upload an.",
                  "abc"},
        CheckCase{"portNotANumber", "127.0.0.1", "rss.xml", "abc",
                  "Fehler: FTP-Port muss eine Zahl sein. Standardport ist 21.", "21"},
        CheckCase{"portWithTrailingBlank", "127.0.0.1", "rss.xml", "21 ",
                  "Fehler: FTP-Port muss eine Zahl sein. Standardport ist 21.", "21"}),
    [](const auto& info) { return std::string(info.param.label); });

// --- Against pyftpdlib -------------------------------------------------------

struct ModeCase
{
    bool passive;
    const char* folder; // as typed into the folder field
    const char* diskFolder;
};

class UploadToPyftpdlib : public FtpGuiTest, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P(UploadToPyftpdlib, StoresTheRssFileAndLogsEachStep)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("htdocs/feed")));
    FtpServerProcess server;
    startPyftpdlib(server, home.path());
    const QString folder = QString::fromUtf8(GetParam().folder);
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("geheim"), folder, GetParam().passive);
    form->textControl(u"edtFileNameRSS")->setText(QStringLiteral("neu.xml"));
    setTitle(QStringLiteral("Erster Lauf"));

    trigger("actUpload");
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(form->ftpLog().isVisible());
    const qint64 size = sentSize(form->ftpLog().lines());
    EXPECT_EQ(form->ftpLog().lines(),
              successLog(QStringLiteral("anna"), folder, QStringLiteral("neu.xml"), size));
    const QString stored =
        QDir(home.filePath(QString::fromUtf8(GetParam().diskFolder))).filePath("neu.xml");
    EXPECT_TRUE(storedFeed(stored, size).contains("Erster Lauf"));
    EXPECT_EQ(uploadLeftovers(), QStringList());

    // A second run clears the log and replaces the file.
    setTitle(QStringLiteral("Zweiter Lauf"));
    trigger("actUpload");
    const qint64 secondSize = sentSize(form->ftpLog().lines());
    EXPECT_EQ(form->ftpLog().lines(),
              successLog(QStringLiteral("anna"), folder, QStringLiteral("neu.xml"), secondSize));
    EXPECT_TRUE(storedFeed(stored, secondSize).contains("Zweiter Lauf"));
    EXPECT_FALSE(form->ftpLog().lines().join('\n').contains(QStringLiteral("geheim")));
}

INSTANTIATE_TEST_SUITE_P(Modes, UploadToPyftpdlib,
                         ::testing::Values(ModeCase{true, "", ""},
                                           ModeCase{false, "/htdocs/feed", "htdocs/feed"},
                                           ModeCase{true, "htdocs", "htdocs"}),
                         [](const auto& info) {
                             return std::string(info.param.passive ? "passive" : "active") +
                                    (info.param.folder[0] ? "_folder" : "_loginFolder") +
                                    std::to_string(info.index);
                         });

// Over SFTP: the host key is asked for once, then the upload logs the same
// steps as over FTP.
TEST_F(FtpGuiTest, UploadOverSftpAsksForTheHostKeyOnce)
{
    QTemporaryDir root, work;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("htdocs")));
    SshServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startAsyncssh(root.path(), QStringLiteral("anna"), QStringLiteral("geheim"),
                                     work.path(), &failure))
        << failure.toStdString();
    Controls::setProtocol(form->choiceControl(u"cboFTPProtocol"), RemoteProtocol::Sftp);
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("geheim"), QStringLiteral("htdocs"));
    form->textControl(u"edtFileNameRSS")->setText(QStringLiteral("neu.xml"));
    const QString stored = root.filePath(QStringLiteral("htdocs/neu.xml"));
    ui.trustAnswers = {true};
    for (const QString& title : {QStringLiteral("Erster Lauf"), QStringLiteral("Zweiter Lauf")}) {
        setTitle(title);
        trigger("actUpload");
        ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
        const qint64 size = sentSize(form->ftpLog().lines());
        EXPECT_EQ(form->ftpLog().lines(),
                  successLog(QStringLiteral("anna"), QStringLiteral("htdocs"),
                             QStringLiteral("neu.xml"), size));
        EXPECT_TRUE(storedFeed(stored, size).contains(title.toUtf8()));
    }
    EXPECT_EQ(ui.trustQuestions.size(), 1u);
    EXPECT_FALSE(form->ftpLog().lines().join('\n').contains(QStringLiteral("geheim")));
}

// The feed's address on a web server over the FTP folder: after the upload
// the log says whether it serves the file just sent.
TEST_F(FtpGuiTest, UploadFetchesTheFeedAddress)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("htdocs")));
    FtpServerProcess server;
    startPyftpdlib(server, home.path());
    TestHttpServer web;
    web.serveFolder(home.path());
    const QString address = QString::fromLatin1(web.baseUrl()) + QStringLiteral("/htdocs/rss.xml");
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("geheim"), QStringLiteral("htdocs"));
    form->textControl(u"edtFeedUrl")->setText(address);

    trigger("actUpload");
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(form->ftpLog().lines(),
              successLog(QStringLiteral("anna"), QStringLiteral("htdocs"),
                         QStringLiteral("rss.xml"), sentSize(form->ftpLog().lines()))
                  << QStringLiteral("Feed unter %1 abrufbar und aktuell.").arg(address));
    // The check of the address compared the file sent; it is gone after it.
    EXPECT_EQ(uploadLeftovers(), QStringList());

    // A cache still serving yesterday's file.
    web.route("/htdocs/rss.xml", {200, "application/rss+xml", "<rss version=\"2.0\"/>", {}});
    setTitle(QStringLiteral("Neuer Titel"));
    trigger("actUpload");
    const QStringList lines = form->ftpLog().lines();
    ASSERT_EQ(lines.size(), successLog(QStringLiteral("anna"), QStringLiteral("htdocs"),
                                       QStringLiteral("rss.xml"), sentSize(lines))
                                    .size() +
                                1);
    EXPECT_TRUE(
        lines.back().startsWith(QStringLiteral("Warnung: Unter %1 liegt nicht").arg(address)))
        << lines.back().toStdString();
    EXPECT_TRUE(lines.back().contains(u"Cache"));
}

TEST_F(FtpGuiTest, MissingFolderEndsWithTheServersAnswerToCwd)
{
    QTemporaryDir home;
    FtpServerProcess server;
    startPyftpdlib(server, home.path());
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("geheim"), QStringLiteral("/gibtsnicht"));
    trigger("actUpload");
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    const QStringList lines = form->ftpLog().lines();
    const QStringList head = {
        QStringLiteral("Versuche Verbindung aufzunehmen..."), QStringLiteral("Username: anna"),
        QStringLiteral("Passwort: ********"), QStringLiteral("Verbindung hergestellt!")};
    ASSERT_EQ(lines.size(), head.size() + uploadErrorHint().size() + 1)
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(0, head.size()), head);
    EXPECT_EQ(lines.mid(head.size(), uploadErrorHint().size()), uploadErrorHint());
    EXPECT_EQ(lines.back(), QStringLiteral("No such file or directory."));
    EXPECT_TRUE(QDir(home.path()).entryList(QDir::Files).isEmpty());
}

// --- Against the scripted server ---------------------------------------------

struct RefusalCase
{
    const char* command;
    QStringList linesBeforeHint;
    QString lastCommand; // after a refused login the client has closed already
};

class UploadRefused : public FtpGuiTest, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(UploadRefused, LogsEachReplyLineAndClosesTheConnection)
{
    ScriptedFtpServer server;
    server.on(QString::fromLatin1(GetParam().command),
              {reply("530-Nicht erlaubt.\r\n530 Bitte erneut versuchen.\r\n")});
    server.start();
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("falsch"), QStringLiteral("/www"));
    trigger("actUpload");
    EXPECT_TRUE(ui.errors.isEmpty());
    const QStringList expected =
        GetParam().linesBeforeHint + uploadErrorHint() +
        QStringList{QStringLiteral("Nicht erlaubt."), QStringLiteral("Bitte erneut versuchen.")};
    EXPECT_EQ(form->ftpLog().lines(), expected);
    EXPECT_EQ(uploadLeftovers(), QStringList());
    EXPECT_EQ(server.transcript().back(), GetParam().lastCommand);
    QElapsedTimer waited;
    waited.start();
    while (server.sessionsEnded() < 1 && waited.elapsed() < 5000)
        QThread::msleep(10);
    EXPECT_EQ(server.sessionsEnded(), 1);
}

const QStringList kLoginLines = {QStringLiteral("Versuche Verbindung aufzunehmen..."),
                                 QStringLiteral("Username: anna"),
                                 QStringLiteral("Passwort: ********")};

INSTANTIATE_TEST_SUITE_P(
    Replies, UploadRefused,
    ::testing::Values(RefusalCase{"PASS", kLoginLines, QStringLiteral("PASS falsch")},
                      RefusalCase{"CWD", kLoginLines + QStringList{"Verbindung hergestellt!"},
                                  QStringLiteral("QUIT")},
                      RefusalCase{"STOR",
                                  kLoginLines + QStringList{"Verbindung hergestellt!",
                                                            "Verzeichniswechsel nach: /www",
                                                            "Übertrage die Datei als "
                                                            "rss.xml.tavistrel-upload...",
                                                            "Die vorläufige Datei "
                                                            "rss.xml.tavistrel-upload wurde "
                                                            "gelöscht."},
                                  QStringLiteral("QUIT")}),
    [](const auto& info) { return std::string(info.param.command); });

TEST_F(FtpGuiTest, NetworkFailureGoesToTheErrorReportAndKeepsTheLog)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(closedPort), QStringLiteral("anna"),
                 QStringLiteral("pw"));
    trigger("actUpload");
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(form->ftpLog().lines().size(), 3);
    EXPECT_EQ(uploadLeftovers(), QStringList());
}

TEST_F(FtpGuiTest, PortZeroIsReportedWithAText)
{
    setFtpFields(QStringLiteral("127.0.0.1"), QStringLiteral("65536"), QStringLiteral("anna"),
                 QStringLiteral("pw"));
    trigger("actUpload");
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("65536")));
}

TEST_F(FtpGuiTest, CancelEndsAHangingUploadAndClosesItsConnection)
{
    ScriptedFtpServer server;
    server.on("PASS", {}); // never answers
    server.start();
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("pw"));
    cancelWhenBoxShows();
    trigger("actUpload");
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(form->ftpLog().lines().back(), QStringLiteral("Vorgang abgebrochen."));
    EXPECT_EQ(uploadLeftovers(), QStringList());
    QElapsedTimer waited;
    waited.start();
    while (server.sessionsEnded() < 1 && waited.elapsed() < 5000)
        QThread::msleep(10);
    EXPECT_EQ(server.sessionsEnded(), 1);
}

// --- FTPS: the trust question, asked from the worker thread ------------------

TEST_F(FtpGuiTest, UntrustedCertificateIsAskedNoEndsBeforeThePasswordYesUploads)
{
    QTemporaryDir home, certificates;
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("www")));
    FtpServerProcess server;
    QString failure;
    if (!FtpServerProcess::makeCertificate(certificates.path(), &failure))
        GTEST_SKIP() << failure.toStdString();
    ASSERT_TRUE(server.startPyftpdlib(
        home.path(), QStringLiteral("anna"), QStringLiteral("geheim"), &failure,
        {QStringLiteral("--tls"), certificates.filePath(QStringLiteral("cert.pem")),
         certificates.filePath(QStringLiteral("key.pem"))}))
        << failure.toStdString();
    Controls::setProtocol(form->choiceControl(u"cboFTPProtocol"), RemoteProtocol::Ftps);
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anna"), QStringLiteral("geheim"), QStringLiteral("www"));

    ui.trustAnswers = {false};
    trigger("actUpload");
    ASSERT_EQ(ui.trustQuestions.size(), 1u);
    const TrustQuestion& q = ui.trustQuestions[0];
    EXPECT_EQ(
        q.fingerprint,
        sha256Fingerprint(
            QSslCertificate::fromPath(certificates.filePath(QStringLiteral("cert.pem"))).value(0)));
    const QString text = trustQuestionText(q);
    for (const QString& part : {q.fingerprint, QStringLiteral("127.0.0.1:%1").arg(server.port()),
                                QStringLiteral("selbst signiert"), QStringLiteral("Gültig: ")})
        EXPECT_TRUE(text.contains(part)) << text.toStdString();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(q.fingerprint));
    EXPECT_FALSE(server.receivedCommands().contains(QStringLiteral("PASS")));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("www/rss.xml"))));

    ui.trustAnswers = {true};
    trigger("actUpload");
    EXPECT_EQ(ui.trustQuestions.size(), 2u);
    EXPECT_EQ(ui.errors.size(), 1) << ui.errors.join('\n').toStdString();
    EXPECT_TRUE(
        storedFeed(home.filePath(QStringLiteral("www/rss.xml")), sentSize(form->ftpLog().lines()))
            .contains("</rss>"));
    // Trusted from then on.
    trigger("actUpload");
    EXPECT_EQ(ui.trustQuestions.size(), 2u);
}

// --- vsftpd (needs root) -----------------------------------------------------

TEST_F(FtpGuiTest, UploadToVsftpd)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "vsftpd tests need root; skipped";
    QTemporaryDir top;
    const QString root = FtpServerProcess::makeVsftpdRoot(top.path());
    FtpServerProcess server;
    QString failure;
    ASSERT_TRUE(server.startVsftpd(root, top.path(), &failure)) << failure.toStdString();
    setFtpFields(QStringLiteral("127.0.0.1"), QString::number(server.port()),
                 QStringLiteral("anonymous"), QString(), QStringLiteral("upload"));
    trigger("actUpload");
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    const qint64 size = sentSize(form->ftpLog().lines());
    EXPECT_EQ(form->ftpLog().lines(),
              successLog(QStringLiteral("anonymous"), QStringLiteral("upload"),
                         QStringLiteral("rss.xml"), size));
    EXPECT_TRUE(storedFeed(root + QStringLiteral("/upload/rss.xml"), size).contains("</rss>"));
}

} // namespace
