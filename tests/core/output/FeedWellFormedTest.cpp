#include "document/ProjectFile.h"
#include "output/Rss20.h"
#include "platform/XmlDocument.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// What the RSS builder and the project file writer put out must be read by
// any XML parser and feed reader, whatever the fields hold.
namespace {

QString findProgram(const QString& name, const QStringList& probe)
{
    for (const QString& candidate :
         {QStringLiteral("/usr/bin/") + name, QStandardPaths::findExecutable(name)}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable() &&
            QProcess::execute(candidate, probe) == 0)
            return candidate;
    }
    return {};
}

FeedDocument projectWithControlCharacters()
{
    FeedDocument d;
    d.setText(u"edtFeedTitle", QStringLiteral("Verein\x0b Nachrichten\x01"));
    d.setText(u"edtLink", QStringLiteral("https://example.org/"));
    d.setText(u"memoDescription", QStringLiteral("Zeile 1\r\nZeile\t2\x1f"));
    d.setText(u"edtFeedUrl", QStringLiteral("https://example.org/rss.xml"));
    auto e = std::make_unique<TNewsEntry>();
    e->title = QStringLiteral("Fest\x0c am See") + QChar(0xFFFF);
    e->content = QStringLiteral("<p>Text\x08 mit Steuerzeichen</p>") + QChar(0xDC00);
    e->link = QStringLiteral("https://example.org/fest");
    e->guid = QStringLiteral("{0F8F1E2D-0000-4000-8000-000000000001}");
    d.entries.append(std::move(e));
    auto permalink = std::make_unique<TNewsEntry>();
    permalink->title = QStringLiteral("Mit Link-GUID");
    permalink->link = QStringLiteral("https://example.org/zwei");
    permalink->guid = QStringLiteral("https://example.org/zwei");
    d.entries.append(std::move(permalink));
    return d;
}

TEST(FeedWellFormed, ForbiddenCharactersAreDroppedTabsAndLineBreaksKept)
{
    XmlDocument xml;
    XmlNode root = xml.createRoot(QStringLiteral("r"));
    root.appendChild("a").setText(QString::fromLatin1("a\x0b"
                                                      "b\0c\tTab\r\nNeu",
                                                      14) +
                                  QChar(0xD83C) + QChar(0xDF89) + QChar(0xD800));
    root.setAttribute(QStringLiteral("x"), QStringLiteral("1\x01"
                                                          "2"));
    const QByteArray out = xml.toUtf8();
    EXPECT_FALSE(out.contains("&#11;")) << out.constData();
    EXPECT_FALSE(out.contains('\x0b'));
    EXPECT_TRUE(out.contains("<a>abc\tTab&#13;\nNeu\xF0\x9F\x8E\x89</a>")) << out.constData();
    EXPECT_TRUE(out.contains("x=\"12\""));
    XmlDocument back;
    back.loadFromData(out);
    EXPECT_EQ(back.documentElement().findChild("a").text(),
              QStringLiteral("abc\tTab\r\nNeu") + QChar(0xD83C) + QChar(0xDF89));
}

TEST(FeedWellFormed, ExportWithControlCharactersIsReadByXmllintAndFeedparser)
{
    QTemporaryDir dir;
    const QString rss = dir.filePath(QStringLiteral("rss.xml"));
    Rss20::GenerateRSS20(projectWithControlCharacters(), rss, QTimeZone::utc());

    const QString xmllint = findProgram(QStringLiteral("xmllint"), {"--version"});
    if (xmllint.isEmpty())
        GTEST_SKIP() << "no xmllint (Debian: libxml2-utils)";
    QProcess lint;
    lint.start(xmllint, {"--noout", rss});
    ASSERT_TRUE(lint.waitForFinished(30000));
    EXPECT_EQ(lint.exitCode(), 0) << lint.readAllStandardError().toStdString();

    const QString python = findProgram(QStringLiteral("python3"), {"-c", "import feedparser"});
    if (python.isEmpty())
        GTEST_SKIP() << "no python3 with feedparser (Debian: python3-feedparser)";
    const char* script = R"(
import feedparser, json, sys
d = feedparser.parse(sys.argv[1])
print(json.dumps({"bozo": int(d.bozo), "title": d.feed.get("title"),
    "self": [l.get("href") for l in d.feed.get("links", []) if l.get("rel") == "self"],
    "entries": [{"title": e.get("title"), "link": e.get("link"),
                 "guidislink": bool(e.get("guidislink"))} for e in d.entries]}))
)";
    QProcess process;
    process.start(python, {"-c", QString::fromUtf8(script), rss});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QJsonObject feed = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    EXPECT_EQ(feed["bozo"].toInt(), 0);
    EXPECT_EQ(feed["title"].toString(), u"Verein Nachrichten");
    EXPECT_EQ(feed["self"].toArray().at(0).toString(), u"https://example.org/rss.xml");
    const QJsonArray entries = feed["entries"].toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]["title"].toString(), u"Fest am See");
    // A "{...}" GUID is no address: the entry's link stays its link.
    EXPECT_EQ(entries[0]["link"].toString(), u"https://example.org/fest");
    EXPECT_FALSE(entries[0]["guidislink"].toBool());
    EXPECT_EQ(entries[1]["link"].toString(), u"https://example.org/zwei");
}

TEST(FeedWellFormed, GuidAttributeAndSelfLinkInTheTree)
{
    XmlDocument xml;
    xml.loadFromData(
        Rss20::GenerateRSS20(projectWithControlCharacters(), QTimeZone::utc()).toUtf8());
    const XmlNode rss = xml.documentElement();
    EXPECT_EQ(rss.attribute(QStringLiteral("xmlns:atom")), u"http://www.w3.org/2005/Atom");
    const XmlNode channel = rss.findChild("channel");
    const XmlNode self = channel.findChild("atom:link");
    ASSERT_TRUE(self);
    EXPECT_EQ(self.attribute(QStringLiteral("href")), u"https://example.org/rss.xml");
    EXPECT_EQ(self.attribute(QStringLiteral("rel")), u"self");
    EXPECT_EQ(self.attribute(QStringLiteral("type")), u"application/rss+xml");
    const XmlNode item1 = channel.findChild("item");
    const XmlNode item2 = item1.nextSibling();
    EXPECT_EQ(item1.findChild("guid").attribute(QStringLiteral("isPermaLink")), u"false");
    EXPECT_EQ(item2.findChild("guid").attribute(QStringLiteral("isPermaLink")), u"");

    // Without the feed's address nothing of Atom appears.
    FeedDocument plain;
    const QString text = Rss20::GenerateRSS20(plain, QTimeZone::utc());
    EXPECT_FALSE(text.contains(u"atom")) << text.toStdString();
}

TEST(FeedWellFormed, ProjectWithControlCharactersReadsBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.tvst"));
    const FeedDocument original = projectWithControlCharacters();
    ProjectFile::SaveProjectFile(original, path);
    const FeedDocument back = ProjectFile::LoadProjectFile(path);
    EXPECT_EQ(back.text(u"edtFeedTitle"), u"Verein Nachrichten");
    EXPECT_EQ(back.text(u"memoDescription"), u"Zeile 1\r\nZeile\t2");
    EXPECT_EQ(back.text(u"edtFeedUrl"), u"https://example.org/rss.xml");
    ASSERT_EQ(back.entries.size(), 2);
    EXPECT_EQ(back.entries.at(0).title, u"Fest am See");
    EXPECT_EQ(back.entries.at(0).content, u"<p>Text mit Steuerzeichen</p>");
}

// A file of the first version has no feed address: it reads as empty.
TEST(FeedWellFormed, ProjectWithoutFeedUrlReadsAsEmpty)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alt.tvst"));
    FeedDocument d;
    d.setText(u"edtFeedUrl", QStringLiteral("https://example.org/rss.xml"));
    ProjectFile::SaveProjectFile(d, path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const qsizetype at = bytes.indexOf("<edtFeedUrl>");
    ASSERT_GE(at, 0);
    bytes.remove(at, bytes.indexOf("</edtFeedUrl>") + 13 - at);
    EXPECT_TRUE(ProjectFile::LoadProjectData(bytes).text(u"edtFeedUrl").isEmpty());
}

} // namespace
