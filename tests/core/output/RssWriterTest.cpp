// The streamed RSS writer against a tree built with the XML document
// service and saved by it: byte for byte the same text, for a table of small
// projects.
#include "document/ProjectFile.h"
#include "output/FeedCheck.h"
#include "output/Rss20.h"
#include "output/RssTime.h"
#include "platform/RegionalSettings.h"
#include "platform/XmlDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin("Europe/Berlin");

// The document as a tree, element by element as the writer promises.
QByteArray treeReference(const FeedDocument& d, const QTimeZone& zone)
{
    const auto moment = [&zone](QDate date, QTime time) {
        return GetRSSTimeString(LocalMomentToUtc(date, time, zone));
    };
    const auto withName = [](const QString& mail, const QString& name) {
        return name.isEmpty() ? mail : mail + QStringLiteral(" (") + name + u')';
    };
    XmlDocument xml;
    XmlNode rss = xml.createRoot(QStringLiteral("rss"));
    rss.setAttribute(QStringLiteral("version"), QStringLiteral("2.0"));
    if (!d.text(u"edtFeedUrl").isEmpty())
        rss.setAttribute(QStringLiteral("xmlns:atom"),
                         QStringLiteral("http://www.w3.org/2005/Atom"));
    XmlNode channel = rss.appendChild("channel");
    channel.appendChild("title").setText(d.text(u"edtFeedTitle"));
    channel.appendChild("link").setText(d.text(u"edtLink"));
    channel.appendChild("description").setText(d.text(u"memoDescription"));
    if (!d.text(u"edtFeedUrl").isEmpty()) {
        XmlNode atom = channel.appendChild("atom:link");
        atom.setAttribute(QStringLiteral("href"), d.text(u"edtFeedUrl"));
        atom.setAttribute(QStringLiteral("rel"), QStringLiteral("self"));
        atom.setAttribute(QStringLiteral("type"), QStringLiteral("application/rss+xml"));
    }
    if (!d.text(u"edtCopyright").isEmpty())
        channel.appendChild("copyright").setText(d.text(u"edtCopyright"));
    if (!d.text(u"edtOwnerMail").isEmpty())
        channel.appendChild("managingEditor")
            .setText(withName(d.text(u"edtOwnerMail"), d.text(u"edtOwnerName")));
    if (d.flag(u"chkPublish"))
        channel.appendChild("pubDate").setText(
            moment(d.date(u"datePublish"), d.time(u"publishTime")));
    if (d.flag(u"chkLastChange"))
        channel.appendChild("lastBuildDate")
            .setText(moment(d.date(u"dateLastChange"), d.time(u"timeLastChange")));
    channel.appendChild("generator").setText(QStringLiteral("Tavistrel 1.0"));
    channel.appendChild("ttl").setText(d.text(u"edtTTL"));
    channel.appendChild("language").setText(Rss20::GetLanguageCode(d.text(u"cboLanguage")));
    if (!d.text(u"edtLogoUrl").isEmpty()) {
        XmlNode image = channel.appendChild("image");
        image.appendChild("url").setText(d.text(u"edtLogoUrl"));
        image.appendChild("title").setText(d.text(u"edtLogoTitle"));
        image.appendChild("link").setText(d.text(u"edtLinkLogo"));
        image.appendChild("width").setText(d.text(u"edtLogoWidth"));
        image.appendChild("height").setText(d.text(u"edtLogoHeight"));
    }
    const QStringList days = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                              "Friday", "Saturday", "Sunday"};
    const auto skipList = [&](const char* container, const char* child, const QStringList& keys,
                              const auto& textOf) {
        XmlNode list;
        for (int i = 0; i < keys.size(); ++i) {
            if (!d.flag(keys[i]))
                continue;
            if (!list)
                list = channel.appendChild(container);
            list.appendChild(child).setText(textOf(i));
        }
    };
    skipList("skipHours", "hour", ChannelSettings::hourKeys(),
             [](int i) { return QString::number(i); });
    skipList("skipDays", "day", ChannelSettings::dayKeys(), [&](int i) { return days[i]; });
    for (int i = 0; i < d.entries.size(); ++i) {
        const TNewsEntry& e = d.entries.at(i);
        XmlNode item = channel.appendChild("item");
        item.appendChild("title").setText(e.title);
        item.appendChild("description").setText(e.content);
        item.appendChild("link").setText(e.link);
        if (!e.email.isEmpty())
            item.appendChild("author").setText(withName(e.email, e.author));
        XmlNode guid = item.appendChild("guid");
        guid.setText(e.guid);
        if (!FeedCheck::isAbsoluteHttpAddress(e.guid))
            guid.setAttribute(QStringLiteral("isPermaLink"), QStringLiteral("false"));
        if (d.flag(u"chkEnclosures") && !e.fileUrl.isEmpty()) {
            XmlNode enclosure = item.appendChild("enclosure");
            enclosure.setAttribute(QStringLiteral("url"), e.fileUrl);
            enclosure.setAttribute(QStringLiteral("length"),
                                   e.filesize.isEmpty() ? QStringLiteral("0") : e.filesize);
            enclosure.setAttribute(QStringLiteral("type"), e.mime);
        }
        if (e.chkPublish)
            item.appendChild("pubDate").setText(moment(e.date, e.time));
    }
    return xml.toUtf8();
}

TNewsEntry& addEntry(FeedDocument& d, const QString& title)
{
    auto entry = std::make_unique<TNewsEntry>();
    entry->title = title;
    d.entries.append(std::move(entry));
    return d.entries.at(d.entries.size() - 1);
}

// Control characters, lone surrogates, U+FFFE, escapes, tabs and line
// breaks in every kind of value.
const QString kHostile = QStringLiteral("a\tb\nc\r\nd <&> \"q\" 'a' ") + QChar(0x01) + QChar(0x1F) +
                         QChar(0xD800) + QChar(u'x') + QChar(0xDC00) + QChar(0xFFFE) +
                         QStringLiteral(" ä € 😀 ") + QChar(0x7F);

struct Case
{
    const char* name;
    FeedDocument (*make)();
};

const Case kCases[] = {
    {"Empty", [] { return FeedDocument(); }},
    {"EverythingSet",
     [] {
         FeedDocument d;
         d.setText(u"edtFeedTitle", QStringLiteral("Neuigkeiten"));
         d.setText(u"edtLink", QStringLiteral("https://example.org/"));
         d.setText(u"memoDescription", QStringLiteral("<p>Aus dem\r\nVerein</p>"));
         d.setText(u"edtCopyright", QStringLiteral("© 2024"));
         d.setText(u"edtOwnerMail", QStringLiteral("info@example.org"));
         d.setText(u"edtOwnerName", QStringLiteral("Info"));
         d.setText(u"edtFeedUrl", QStringLiteral("https://example.org/rss.xml?a=1&b=\"2\""));
         d.setText(u"edtLogoUrl", QStringLiteral("https://example.org/logo.png"));
         d.setText(u"cboLanguage", QStringLiteral("Portuguese (Brazil) [vpt-br]"));
         d.setFlag(u"chkPublish", true);
         d.setFlag(u"chkLastChange", true);
         d.setDate(u"datePublish", QDate(2024, 3, 31));
         d.setTime(u"publishTime", QTime(2, 30)); // skipped by the clock change
         d.setFlag(u"chkH00", true);
         d.setFlag(u"chkH23", true);
         d.setFlag(u"chkSunday", true);
         TNewsEntry& e = addEntry(d, QStringLiteral("Erste"));
         e.email = QStringLiteral("a@example.org");
         e.author = QStringLiteral("Anna");
         e.guid = QStringLiteral("https://example.org/1");
         e.chkPublish = true;
         e.date = QDate(2024, 7, 1);
         e.time = QTime(12, 0, 5);
         addEntry(d, QString()).guid = QStringLiteral("{GUID}");
         return d;
     }},
    {"EnclosuresOn",
     [] {
         FeedDocument d;
         d.setFlag(u"chkEnclosures", true);
         TNewsEntry& e = addEntry(d, QStringLiteral("Folge 1"));
         e.fileUrl = QStringLiteral("https://example.org/a b&c\t\"d\".mp3");
         e.mime = QStringLiteral("audio/mpeg");
         addEntry(d, QStringLiteral("Ohne Datei")).filesize = QStringLiteral("12");
         TNewsEntry& sized = addEntry(d, QStringLiteral("Mit Größe"));
         sized.fileUrl = QStringLiteral("https://example.org/b.mp3");
         sized.filesize = QStringLiteral("1234");
         sized.chkPublish = true;
         return d;
     }},
    {"EnclosuresOff",
     [] {
         FeedDocument d;
         addEntry(d, QStringLiteral("Folge 1")).fileUrl =
             QStringLiteral("https://example.org/a.mp3");
         return d;
     }},
    {"HostileCharacters",
     [] {
         FeedDocument d;
         d.setText(u"edtFeedTitle", kHostile);
         d.setText(u"edtFeedUrl", kHostile);
         d.setText(u"edtLogoUrl", kHostile);
         d.setText(u"edtLogoTitle", kHostile);
         d.setFlag(u"chkEnclosures", true);
         TNewsEntry& e = addEntry(d, kHostile);
         e.content = kHostile + kHostile + kHostile; // past the eight-character blocks
         e.link = kHostile;
         e.email = kHostile;
         e.author = kHostile;
         e.guid = kHostile;
         e.fileUrl = kHostile;
         e.filesize = kHostile;
         e.mime = kHostile;
         return d;
     }},
    {"OnlyForbiddenCharacters",
     [] {
         FeedDocument d;
         const QString forbidden = QString(QChar(0x01)) + QChar(0xFFFF) + QChar(0xDFFF);
         d.setText(u"edtFeedTitle", forbidden);
         d.setText(u"edtFeedUrl", QStringLiteral("https://example.org/rss.xml"));
         addEntry(d, forbidden).guid = forbidden;
         return d;
     }},
    {"SpecialsAtEveryPlaceOfABlock",
     [] {
         // The writer stores plain text eight characters at a time: each
         // character it must escape, encode or drop, at every place of a
         // block, at the very start and end of a value, in text and in an
         // attribute.
         FeedDocument d;
         d.setFlag(u"chkEnclosures", true);
         const QString specials[] = {
             QStringLiteral("&"),    QStringLiteral("<"),    QStringLiteral(">"),
             QStringLiteral("\""),   QStringLiteral("\r"),   QStringLiteral("\t"),
             QStringLiteral("\n"),   QString(QChar(0x01)),   QStringLiteral("ä"),
             QStringLiteral("€"),    QStringLiteral("😀"),    QString(QChar(0xD83D)),
             QString(QChar(0xDE00)), QString(QChar(0xFFFF)), QString(QChar(0x7F))};
         for (const QString& special : specials) {
             for (int at = 0; at <= 17; ++at) {
                 const QString value = QString(at, u'x') + special + QString(17 - at, u'y');
                 TNewsEntry& e = addEntry(d, value);
                 e.content = special + value + special;
                 e.fileUrl = value;
                 e.mime = special;
             }
         }
         return d;
     }},
    {"QuotesOnlyInAttributes",
     [] {
         // Each '"' of an attribute value becomes six bytes, the most of any
         // character: the writer's room must hold a long value of nothing
         // else, here one that fits its buffer at five bytes a character
         // but not at six.
         FeedDocument d;
         d.setFlag(u"chkEnclosures", true);
         const QString quotes(60000, u'"');
         d.setText(u"edtFeedUrl", quotes);
         TNewsEntry& e = addEntry(d, QStringLiteral("Zitate"));
         e.fileUrl = quotes;
         e.mime = quotes;
         return d;
     }},
    {"ManyEntries",
     [] {
         FeedDocument d;
         for (int i = 0; i < 300; ++i) {
             TNewsEntry& e = addEntry(d, QStringLiteral("Eintrag %1").arg(i));
             e.content = QString(2000, QChar(u'a' + i % 26)) + u'<';
             e.chkPublish = true;
             e.date = QDate(2020, 1, 1).addDays(i * 5);
         }
         return d;
     }},
};

class RssWriterTest : public ::testing::TestWithParam<Case>
{
};

TEST_P(RssWriterTest, SameBytesAsTheTree)
{
    const FeedDocument d = GetParam().make();
    const QByteArray want = treeReference(d, kBerlin);
    EXPECT_EQ(Rss20::GenerateRSS20(d, kBerlin).toUtf8(), want);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rss.xml"));
    Rss20::GenerateRSS20(d, path, kBerlin);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), want);
}

INSTANTIATE_TEST_SUITE_P(Table, RssWriterTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The sample project as shipped.
TEST(RssWriter, SampleProjectAsTheTree)
{
    RegionalSettings::setCurrent(RegionalSettings::german());
    const FeedDocument sample = ProjectFile::LoadProjectFile(
        QFileInfo(QStringLiteral(TAVISTREL_PROGRAM_PATH)).absolutePath() +
        QStringLiteral("/samples/beispiel.tvst"));
    RegionalSettings::resetToSystem();
    EXPECT_EQ(Rss20::GenerateRSS20(sample, kBerlin).toUtf8(), treeReference(sample, kBerlin));
}

} // namespace
