#include "output/LogoFetch.h"

#include "platform/Folders.h"
#include "support/QtPrinters.h"
#include "support/TestHttpServer.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <gtest/gtest.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(LogoFetchTempName, IsALastPathSegmentEveryFileSystemTakes)
{
    const struct
    {
        const char* url;
        const char* name;
    } cases[] = {
        {"http://example.com/img/logo.png", "logo.png"},
        {"http://example.com/logo", "logo"},
        {"http://example.com/logo.gif?size=2.png", "logo.gif"},
        {"http://example.com/", "temp_rss"},
        {"http://example.com", "temp_rss"},
        {"http://www.example.com/a/..hidden", "hidden"},
        {"http://example.com/a%2F..%2F..%2Fetc%2Fpasswd", "passwd"},
        {"http://example.com/Bild%20mit%20%C3%A4.jpg", "Bild_mit__.jpg"},
        {"http://example.com/..", "temp_rss"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LogoFetch::tempFileName(QUrl(QString::fromUtf8(c.url))),
                  QString::fromUtf8(c.name))
            << c.url;

    const QString longName = QString(300, u'x') + QStringLiteral(".png");
    const QString shortened = LogoFetch::tempFileName(QUrl("http://example.com/" + longName));
    EXPECT_LE(shortened.size(), 100);
    EXPECT_TRUE(shortened.endsWith(QStringLiteral(".png")));
}

class LogoFetchTest : public ::testing::Test
{
protected:
    TestHttpServer server;
    QNetworkAccessManager network; // a fresh cookie jar per test

    LogoFetch::Result fetch(const QByteArray& path)
    {
        return LogoFetch::fetch(QString::fromLatin1(server.baseUrl() + path), network);
    }
};

TEST_F(LogoFetchTest, WritesTheBodyIntoTheNamedTempFileWithTheProgramsHeaders)
{
    server.route("/pics/logo", {200, "image/png", "picture bytes", {}});
    const LogoFetch::Result result = fetch("/pics/logo");
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(QFileInfo(result.tempFile).fileName(), QStringLiteral("logo"));
    EXPECT_EQ(readFile(result.tempFile), QByteArray("picture bytes"));
    EXPECT_EQ(QFileInfo(result.tempFile).absolutePath() + u'/', Folders::privateTempFolder());

    ASSERT_EQ(server.requests().size(), 1);
    const TestHttpServer::Request& request = server.requests().constFirst();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.headers.value("accept"), "text/html, */*");
    EXPECT_EQ(request.headers.value("user-agent"), "Mozilla/3.0 (compatible; Tavistrel)");
}

TEST_F(LogoFetchTest, ReplacesAnEarlierDownloadOfTheSameName)
{
    server.route("/a/logo.png", {200, "image/png", "a much longer first body", {}});
    server.route("/b/logo.png", {200, "image/png", "second", {}});
    ASSERT_TRUE(fetch("/a/logo.png").ok);
    const LogoFetch::Result second = fetch("/b/logo.png");
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(readFile(second.tempFile), QByteArray("second"));
}

TEST_F(LogoFetchTest, FollowsUpToFiveRedirects)
{
    server.route("/logo.png", {200, "image/png", "end", {}});
    for (int i = 1; i <= 6; ++i) {
        const QByteArray next = i == 1 ? QByteArray("/logo.png") : "/r" + QByteArray::number(i - 1);
        server.route("/r" + QByteArray::number(i), {302, "text/html", {}, {{"Location", next}}});
    }
    const LogoFetch::Result five = fetch("/r5");
    ASSERT_TRUE(five.ok) << five.error.toStdString();
    EXPECT_EQ(readFile(five.tempFile), QByteArray("end"));

    EXPECT_FALSE(fetch("/r6").ok);
}

TEST_F(LogoFetchTest, FailsOnEveryUnusableAnswerOrAddress)
{
    server.route("/gone.png", {404, "text/html", "not here", {}});
    server.route("/broken.png", {500, "text/html", "oops", {}});
    EXPECT_FALSE(fetch("/missing.png").ok);
    EXPECT_FALSE(fetch("/gone.png").ok);
    EXPECT_FALSE(fetch("/broken.png").ok);

    for (const char* address : {"", "   ", "logo.png", "ftp://example.com/logo.png",
                                "file:///etc/hostname", "http://", "http:///logo.png"}) {
        const LogoFetch::Result r = LogoFetch::fetch(QString::fromLatin1(address), network);
        EXPECT_FALSE(r.ok) << address;
        EXPECT_FALSE(r.error.isEmpty()) << address;
    }

    // A port nobody listens on: take the server's and close it.
    const QByteArray base = server.baseUrl();
    server.close();
    EXPECT_FALSE(LogoFetch::fetch(QString::fromLatin1(base + "/logo.png"), network).ok);
}

TEST_F(LogoFetchTest, SendsBackTheCookiesOfTheRun)
{
    server.route("/first.png", {200, "image/png", "1", {{"Set-Cookie", "visit=42; Path=/"}}});
    server.route("/second.png", {200, "image/png", "2", {}});
    ASSERT_TRUE(fetch("/first.png").ok);
    ASSERT_TRUE(fetch("/second.png").ok);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[1].headers.value("cookie"), "visit=42");
}

TEST(LogoFetchShared, IsOneNetworkForTheRun)
{
    EXPECT_EQ(&LogoFetch::sharedNetwork(), &LogoFetch::sharedNetwork());
}

} // namespace
