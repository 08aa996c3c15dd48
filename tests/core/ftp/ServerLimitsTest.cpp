// What a misbehaving server cannot do to the client (endless replies and
// listings, a crawling transfer), the refusal behind a failed data
// connection, and the publish job's way round a server that refuses the
// temporary name or the rename.

#include "FtpClientFixture.h"
#include "ftp/PublishJob.h"

#include <QFile>
#include <QTemporaryDir>

using namespace ftpact;

namespace {

QString errorOf(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Error& e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

TEST_F(FtpClient, EndlessMultiLineReplyFailsInsteadOfFillingTheMemory)
{
    QByteArray flood;
    for (int i = 0; i < 20000; ++i)
        flood += "331-Mehr\r\n";
    server.on("USER", {reply(flood)});
    const QString message = errorOf([this] { connect(); });
    EXPECT_TRUE(message.contains(QStringLiteral("zu lang"))) << message.toStdString();
}

TEST_F(FtpClient, EndlessListingFailsInsteadOfFillingTheMemory)
{
    QByteArray big;
    while (big.size() < 2 * 1024 * 1024)
        big += kUnixListing;
    server.on("LIST", {reply("150 Here\r\n"), data(big), closeData(), reply("226 Done\r\n")});
    connect();
    ftp.MaxListingBytes = 1024 * 1024;
    const QString message = errorOf([this] { ftp.List(); });
    EXPECT_TRUE(message.contains(QStringLiteral("Verzeichnisliste"))) << message.toStdString();
}

TEST_F(FtpClient, CrawlingUploadFailsWithAGermanMessage)
{
    QTemporaryDir dir;
    QFile local(dir.filePath(QStringLiteral("big.bin")));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write(QByteArray(32 * 1024 * 1024, 'x'));
    local.close();
    // The server takes what the buffers hold and then nothing, for longer
    // than the rate window but not as long as the time-out.
    server.on("STOR", {reply("150 Ready\r\n"), pause(4000), closeData(), reply("426 Gone\r\n")});
    connect();
    ftp.MinRateWindowMs = 1500;
    ftp.MinRateBytesPerSecond = 1024 * 1024;
    const QString message = errorOf([&] { ftp.Put(local.fileName(), QStringLiteral("f")); });
    EXPECT_TRUE(message.contains(QStringLiteral("zu langsam"))) << message.toStdString();
}

// The server refuses the STOR and closes its data port: the refusal is what
// the user sees, not "Connection refused".
TEST_F(FtpClient, RefusalPendingBehindAFailedDataConnectionIsShown)
{
    server.on("PASV", {reply("227 Entering Passive Mode (127,0,0,1,%PORT%).\r\n"), closeData()});
    server.on("STOR", {reply("553 Could not create file.\r\n")});
    QTemporaryDir dir;
    QFile local(dir.filePath(QStringLiteral("f.xml")));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("<rss/>");
    local.close();
    connect();
    try {
        ftp.Put(local.fileName(), QStringLiteral("f.xml"));
        ADD_FAILURE() << "stored";
    } catch (const EIdReplyRFCError& e) {
        EXPECT_EQ(e.ErrorCode(), 553);
        EXPECT_EQ(e.message(), QStringLiteral("Could not create file.\r\n"));
    }
}

struct FallbackCase
{
    const char* name;
    const char* refused; // the command the server refuses with 550/553
    QByteArray answer;
    QStringList storedNames; // the STOR targets, in order
    QString logLine;         // the line that says so
};

class FallbackTest : public ::testing::TestWithParam<FallbackCase>
{
};

TEST_P(FallbackTest, StoresTheFinalNameDirectlyAndSaysSo)
{
    ScriptedFtpServer server;
    server.on(QString::fromLatin1(GetParam().refused), {reply(GetParam().answer)});
    // Only the temporary name is refused; the final one is stored.
    if (QByteArray(GetParam().refused).startsWith("STOR"))
        server.on(QStringLiteral("STOR feed.xml"),
                  {reply("150 Ready\r\n"), receiveData(), reply("226 Stored\r\n")});
    server.start();
    QTemporaryDir dir;
    QFile local(dir.filePath(QStringLiteral("f.xml")));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("<rss>neu</rss>");
    local.close();
    FtpPublish::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = QString::number(server.port());
    s.username = QStringLiteral("anna");
    s.password = QStringLiteral("pw");
    s.passive = true;
    s.remoteName = QStringLiteral("feed.xml");
    QStringList log;
    PublishJob job(s, [&log](const QString& line) { log << line; });
    ASSERT_TRUE(job.upload(local.fileName())) << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains(GetParam().logLine)) << log.join('\n').toStdString();
    EXPECT_EQ(log.back(), QStringLiteral("Dateien erfolgreich übertragen!"));
    QStringList stored;
    for (const QString& line : server.transcript())
        if (line.startsWith(QStringLiteral("STOR ")))
            stored << line.mid(5);
    EXPECT_EQ(stored, GetParam().storedNames);
    EXPECT_EQ(server.received(), QByteArray("<rss>neu</rss>"));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, FallbackTest,
    ::testing::Values(
        FallbackCase{"temporaryName",
                     "STOR feed.xml.tavistrel-upload",
                     "553 Name not allowed.\r\n",
                     {"feed.xml.tavistrel-upload", "feed.xml"},
                     QStringLiteral("Der Server lehnt den vorläufigen Namen ab (Name not "
                                    "allowed.); die Datei wird direkt als feed.xml gespeichert.")},
        FallbackCase{"rename",
                     "RNTO",
                     "550 Permission denied.\r\n",
                     {"feed.xml.tavistrel-upload", "feed.xml"},
                     QStringLiteral("Der Server lehnt das Umbenennen ab (Permission denied.); die "
                                    "Datei wird direkt als feed.xml gespeichert.")}),
    [](const auto& info) { return std::string(info.param.name); });

// A size that differs from the local file's keeps the old feed.
TEST(PublishJobScripted, SizeMismatchKeepsTheOldFeedAndRemovesTheTemporaryFile)
{
    ScriptedFtpServer server;
    server.on("SIZE", {reply("213 3\r\n")});
    server.start();
    QTemporaryDir dir;
    QFile local(dir.filePath(QStringLiteral("f.xml")));
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write("<rss>neu</rss>");
    local.close();
    FtpPublish::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = QString::number(server.port());
    s.passive = true;
    s.remoteName = QStringLiteral("feed.xml");
    QStringList log;
    PublishJob job(s, [&log](const QString& line) { log << line; });
    const QString message = errorOf([&] { job.upload(local.fileName()); });
    EXPECT_TRUE(message.contains(QStringLiteral("3 Bytes"))) << message.toStdString();
    EXPECT_TRUE(server.transcript().contains(QStringLiteral("DELE feed.xml.tavistrel-upload")));
    EXPECT_TRUE(server.transcript().filter(QStringLiteral("RNFR")).isEmpty());
}

} // namespace
