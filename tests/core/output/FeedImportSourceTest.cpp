// The import's sources: addresses through the HTTP client, and the command
// line, whose result a feed reader compares with the source.
#include "output/FeedImport.h"
#include "output/LogoFetch.h"
#include "support/ProgramRun.h"
#include "support/QtPrinters.h"
#include "support/TestHttpServer.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin("Europe/Berlin");
const QDateTime kNow(QDate(2025, 1, 15), QTime(12, 0, 0), Qt::UTC);

QByteArray fixture(const char* name)
{
    QFile f(QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/") + QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FeedImportHttp : public ::testing::Test
{
protected:
    TestHttpServer server;
    QNetworkAccessManager network;

    QString url(const QByteArray& path) const
    {
        return QString::fromLatin1(server.baseUrl() + path);
    }
    FeedImportResult importPath(const QByteArray& path, int stallMs = 30000)
    {
        return FeedImport::importUrl(url(path), kNow, kBerlin, network, stallMs);
    }
    FeedImportError::Kind failureKind(const QByteArray& path, QString* message, int stallMs = 30000)
    {
        try {
            importPath(path, stallMs);
        } catch (const FeedImportError& e) {
            *message = e.message();
            return e.kind();
        }
        ADD_FAILURE() << "no error for " << path.toStdString();
        return FeedImportError::Kind::Unreadable;
    }
};

TEST_F(FeedImportHttp, ReadsAFeedFromAnAddress)
{
    server.route("/feed.xml", {200, "application/rss+xml", fixture("rss20_podcast.xml"), {}});
    const FeedImportResult r = importPath("/feed.xml");
    EXPECT_EQ(r.document.entries.size(), 2);
    EXPECT_EQ(r.document.text(u"edtFeedTitle"), u"Podcast \"Hörbar\"");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests()[0].headers.value("accept").contains("application/rss+xml"));
}

TEST_F(FeedImportHttp, BadAnswersGiveTheirGermanMessage)
{
    server.route(
        "/blog",
        {200, "text/html; charset=utf-8", "<!doctype html><html><body>Blog</body></html>", {}});
    // A page served as text/html without saying it in its first bytes.
    server.route("/page", {200, "text/html", "\n<p>nur ein Absatz</p>", {}});
    server.route("/big", {200, "application/rss+xml", QByteArray(16 * 1024 * 1024 + 10, 'x'), {}});
    QString message;
    EXPECT_EQ(failureKind("/blog", &message), FeedImportError::Kind::WebPage);
    EXPECT_TRUE(message.contains(u"liefert eine Webseite (HTML) und keinen Feed"))
        << message.toStdString();
    EXPECT_EQ(failureKind("/page", &message), FeedImportError::Kind::WebPage);
    EXPECT_EQ(failureKind("/missing", &message), FeedImportError::Kind::Unreadable);
    EXPECT_TRUE(message.contains(u"konnte nicht geladen werden")) << message.toStdString();
    EXPECT_EQ(failureKind("/big", &message), FeedImportError::Kind::TooLarge);
    EXPECT_TRUE(message.contains(u"größer als 16 MiB")) << message.toStdString();
}

TEST_F(FeedImportHttp, AServerThatSaysNothingIsGivenUpAfterTheStallTimeOut)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> held; // accepted, never answered
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (silent.hasPendingConnections())
            held << silent.nextPendingConnection();
    });
    const QString address = QStringLiteral("http://127.0.0.1:%1/feed.xml").arg(silent.serverPort());
    try {
        FeedImport::importUrl(address, kNow, kBerlin, network, 300);
        FAIL() << "no error";
    } catch (const FeedImportError& e) {
        EXPECT_EQ(e.kind(), FeedImportError::Kind::Stalled);
        EXPECT_TRUE(e.message().contains(u"keine Daten gesendet")) << e.message().toStdString();
    }
}

TEST_F(FeedImportHttp, HeadReportsSizeAndTypeOfAFile)
{
    server.route("/folge.mp3", {200, "audio/mpeg; name=x", QByteArray(4321, 'a'), {}});
    const LogoFetch::HeadInfo info = LogoFetch::head(url("/folge.mp3"), 5000, network);
    ASSERT_TRUE(info.ok) << info.error.toStdString();
    EXPECT_EQ(info.length, 4321);
    EXPECT_EQ(info.mime, u"audio/mpeg");
    ASSERT_FALSE(server.requests().isEmpty());
    EXPECT_EQ(server.requests().last().method, "HEAD");

    EXPECT_FALSE(LogoFetch::head(url("/nichts"), 5000, network).ok);
    EXPECT_FALSE(LogoFetch::head(QStringLiteral("ftp://example.org/x"), 5000, network).ok);
}

// ---- command line -----------------------------------------------------------

TEST(FeedImportCommandLine, ExitStatusReportAndForce)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("neu.tvst"));
    const QString feed = QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/rss20_podcast.xml");

    ProgramRun r = runHeadless({"--import", feed});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(u"--import erwartet")) << r.err.toStdString();

    r = runHeadless({"--import", feed, target});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"Nicht übernommen: atom:* (1), itunes:* (4)"))
        << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(target).isFile());

    // An existing target is replaced only with --force.
    r = runHeadless(
        {"--import", QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/atom.xml"), target});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(u"--force")) << r.err.toStdString();
    r = runHeadless(
        {"--import", QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/atom.xml"), target, "--force"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();

    // A source that is no feed leaves no project file behind.
    const QString notFeed = dir.filePath(QStringLiteral("kein.xml"));
    QFile f(notFeed);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><body>x</body></html>");
    f.close();
    const QString other = dir.filePath(QStringLiteral("anders.tvst"));
    r = runHeadless({"--import", notFeed, other});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"Webseite")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(other));
    r = runHeadless({"--import", dir.filePath(QStringLiteral("fehlt.xml")), other});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(other));
}

QString pythonWithFeedparser()
{
    for (const QString& candidate : {QStringLiteral("/usr/bin/python3"),
                                     QStandardPaths::findExecutable(QStringLiteral("python3"))}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable() &&
            QProcess::execute(candidate, {"-c", "import feedparser"}) == 0)
            return candidate;
    }
    return {};
}

// title, link, id and moment (UTC seconds) of each entry, as feedparser reads them.
QJsonArray readerView(const QString& python, const QString& path)
{
    const char* script = R"(
import calendar, feedparser, json, sys
d = feedparser.parse(sys.argv[1])
def t(e):
    p = e.get("published_parsed") or e.get("updated_parsed")
    return calendar.timegm(p) if p else None
print(json.dumps([{"title": e.get("title"), "link": e.get("link"), "id": e.get("id"),
                   "moment": t(e)} for e in d.entries]))
)";
    QProcess process;
    process.start(python, {"-c", QString::fromUtf8(script), path});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << process.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(process.readAllStandardOutput()).array();
}

class FeedImportReaderCompare : public ::testing::TestWithParam<const char*>
{
};

// Import, then --export-rss: every entry keeps what a feed reader sees in
// the source. Ids and moments the source lacks are made up on import and
// not compared.
TEST_P(FeedImportReaderCompare, ExportKeepsTitleLinkGuidAndMoment)
{
    const QString python = pythonWithFeedparser();
    if (python.isEmpty())
        GTEST_SKIP() << "no python3 with the module feedparser (Debian: python3-feedparser)";
    QTemporaryDir dir;
    const QString source =
        QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/") + QString::fromLatin1(GetParam());
    const QString project = dir.filePath(QStringLiteral("p.tvst"));
    const QString exported = dir.filePath(QStringLiteral("out.xml"));
    ProgramRun r = runHeadless({"--import", source, project});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = runHeadless({"--export-rss", project, exported});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    const QJsonArray before = readerView(python, source);
    const QJsonArray after = readerView(python, exported);
    ASSERT_EQ(after.size(), before.size());
    ASSERT_FALSE(before.isEmpty());
    for (int i = 0; i < before.size(); ++i) {
        const QJsonObject b = before[i].toObject();
        const QJsonObject a = after[i].toObject();
        SCOPED_TRACE(b["title"].toString().toStdString());
        EXPECT_EQ(a["title"].toString(), b["title"].toString());
        EXPECT_EQ(a["link"].toString(), b["link"].toString());
        if (!b["id"].isNull())
            EXPECT_EQ(a["id"].toString(), b["id"].toString());
        if (!b["moment"].isNull())
            EXPECT_EQ(a["moment"].toDouble(), b["moment"].toDouble());
    }
}

INSTANTIATE_TEST_SUITE_P(Feeds, FeedImportReaderCompare,
                         ::testing::Values("rss091.xml", "rss20_podcast.xml", "rss10.rdf",
                                           "atom.xml", "windows1252.xml", "utf16.xml",
                                           "odd_dates.xml"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
