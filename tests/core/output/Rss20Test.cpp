#include "output/Rss20.h"

#include "document/ChannelSettings.h"
#include "platform/Error.h"
#include "platform/XmlDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {

const QTimeZone kBerlin("Europe/Berlin");

QStringList childNames(XmlNode node)
{
    QStringList names;
    for (XmlNode c = node.firstChild(); c; c = c.nextSibling())
        names << c.name();
    return names;
}

// The built document, parsed back from its text as a reader would see it.
struct Built
{
    explicit Built(const FeedDocument& d, const QTimeZone& zone = QTimeZone::utc())
        : text(Rss20::GenerateRSS20(d, zone))
    {
        xml.loadFromData(text.toUtf8());
        channel = xml.documentElement().findChild("channel");
    }
    // The texts of all elements at a slash path below channel, e.g.
    // "item/title" for the titles of all items; nullopt when there is none.
    std::optional<QStringList> texts(const QString& path) const
    {
        QList<XmlNode> nodes{channel};
        for (const QString& part : path.split(u'/')) {
            QList<XmlNode> next;
            for (const XmlNode& n : nodes)
                for (XmlNode c = n.firstChild(); c; c = c.nextSibling())
                    if (c.name() == part)
                        next << c;
            nodes = next;
        }
        if (nodes.isEmpty())
            return std::nullopt;
        QStringList result;
        for (const XmlNode& n : nodes)
            result << n.text();
        return result;
    }
    QString text;
    XmlDocument xml;
    XmlNode channel;
};

TNewsEntry& addEntry(FeedDocument& d, const QString& title)
{
    auto entry = std::make_unique<TNewsEntry>();
    entry->title = title;
    d.entries.append(std::move(entry));
    return d.entries.at(d.entries.size() - 1);
}

FeedDocument everythingSet()
{
    FeedDocument d;
    d.setText(u"edtFeedTitle", QStringLiteral("Neuigkeiten"));
    d.setText(u"edtLink", QStringLiteral("https://example.org/"));
    d.setText(u"memoDescription", QStringLiteral("Aus dem Verein"));
    d.setText(u"edtCopyright", QStringLiteral("© 2024 Verein"));
    d.setText(u"edtOwnerMail", QStringLiteral("info@example.org"));
    d.setFlag(u"chkPublish", true);
    d.setFlag(u"chkLastChange", true);
    d.setText(u"edtLogoUrl", QStringLiteral("https://example.org/logo.png"));
    d.setFlag(u"chkH03", true);
    d.setFlag(u"chkFriday", true);
    addEntry(d, QStringLiteral("Erste"));
    addEntry(d, QStringLiteral("Zweite"));
    return d;
}

TEST(Rss20, EmptyProjectHasOnlyTheRequiredChannelElements)
{
    const Built b{FeedDocument()};
    EXPECT_EQ(b.xml.documentElement().name(), u"rss");
    EXPECT_EQ(b.xml.documentElement().attribute(QStringLiteral("version")), u"2.0");
    EXPECT_EQ(childNames(b.xml.documentElement()), QStringList{QStringLiteral("channel")});
    EXPECT_EQ(childNames(b.channel),
              QStringList({"title", "link", "description", "generator", "ttl", "language"}));
    EXPECT_EQ(b.texts("generator"), QStringList{"Tavistrel 1.0"});
    EXPECT_EQ(b.texts("ttl"), QStringList{"0"});
    EXPECT_EQ(b.texts("language"), QStringList{"de-de"});
    EXPECT_FALSE(b.text.startsWith(u"<?xml"));
}

TEST(Rss20, ElementOrderWithEverythingSet)
{
    const Built b{everythingSet()};
    EXPECT_EQ(childNames(b.channel),
              QStringList({"title", "link", "description", "copyright", "managingEditor", "pubDate",
                           "lastBuildDate", "generator", "ttl", "language", "image", "skipHours",
                           "skipDays", "item", "item"}));
    EXPECT_EQ(childNames(b.channel.findChild("image")),
              QStringList({"url", "title", "link", "width", "height"}));
    EXPECT_EQ(childNames(b.channel.findChild("item")),
              QStringList({"title", "description", "link", "guid"}));
    EXPECT_EQ(b.texts("item/title"), QStringList({"Erste", "Zweite"}));
}

TEST(Rss20, ItemChildrenInOrderWhenAllAreWritten)
{
    FeedDocument d;
    TNewsEntry& e = addEntry(d, QStringLiteral("Titel"));
    e.email = QStringLiteral("a@example.org");
    e.chkPublish = true;
    const Built b{d};
    EXPECT_EQ(childNames(b.channel.findChild("item")),
              QStringList({"title", "description", "link", "author", "guid", "pubDate"}));
}

// The switch decides; an entry without a file address gets no enclosure,
// and a missing size is written as 0 (RSS requires the attribute).
TEST(Rss20, EnclosuresFollowTheGuidOnlyWhenSwitchedOn)
{
    FeedDocument d;
    TNewsEntry& withFile = addEntry(d, QStringLiteral("Folge 1"));
    withFile.chkPublish = true;
    withFile.fileUrl = QStringLiteral("https://example.org/folge1.mp3?a=1&b=2");
    withFile.filesize = QStringLiteral("12345678");
    withFile.mime = QStringLiteral("audio/mpeg");
    TNewsEntry& noSize = addEntry(d, QStringLiteral("Folge 2"));
    noSize.fileUrl = QStringLiteral("https://example.org/folge2.ogg");
    addEntry(d, QStringLiteral("Text"));

    const Built off{d};
    EXPECT_FALSE(off.text.contains(u"enclosure"));

    d.setFlag(u"chkEnclosures", true);
    const Built on{d};
    XmlNode item = on.channel.findChild("item");
    EXPECT_EQ(childNames(item),
              QStringList({"title", "description", "link", "guid", "enclosure", "pubDate"}));
    XmlNode enclosure = item.findChild("enclosure");
    EXPECT_EQ(enclosure.attribute("url"), u"https://example.org/folge1.mp3?a=1&b=2");
    EXPECT_EQ(enclosure.attribute("length"), u"12345678");
    EXPECT_EQ(enclosure.attribute("type"), u"audio/mpeg");
    item = item.nextSibling();
    EXPECT_EQ(item.findChild("enclosure").attribute("length"), u"0");
    item = item.nextSibling();
    EXPECT_FALSE(item.findChild("enclosure"));
}

struct OmissionCase
{
    const char* label;
    std::function<void(FeedDocument&)> setup;
    const char* path;
    std::optional<QStringList> expected;
};

TEST(Rss20, OmissionRules)
{
    const auto entry = [](FeedDocument& d) -> TNewsEntry& { return addEntry(d, "E"); };
    const OmissionCase cases[] = {
        {"copyright empty", [](FeedDocument&) {}, "copyright", std::nullopt},
        {"copyright set", [](FeedDocument& d) { d.setText(u"edtCopyright", "© Verein"); },
         "copyright", QStringList{"© Verein"}},
        {"owner name without mail", [](FeedDocument& d) { d.setText(u"edtOwnerName", "Anna"); },
         "managingEditor", std::nullopt},
        {"owner mail alone", [](FeedDocument& d) { d.setText(u"edtOwnerMail", "a@b.de"); },
         "managingEditor", QStringList{"a@b.de"}},
        {"owner mail and name",
         [](FeedDocument& d) {
             d.setText(u"edtOwnerMail", "a@b.de");
             d.setText(u"edtOwnerName", "Anna Berg");
         },
         "managingEditor", QStringList{"a@b.de (Anna Berg)"}},
        {"publication unchecked with a date",
         [](FeedDocument& d) { d.setDate(u"datePublish", QDate(2024, 5, 17)); }, "pubDate",
         std::nullopt},
        {"publication checked",
         [](FeedDocument& d) {
             d.setFlag(u"chkPublish", true);
             d.setDate(u"datePublish", QDate(2024, 5, 17));
             d.setTime(u"publishTime", QTime(9, 5, 3));
         },
         "pubDate", QStringList{"Fri, 17 May 2024 09:05:03 GMT"}},
        {"last change unchecked", [](FeedDocument&) {}, "lastBuildDate", std::nullopt},
        {"last change checked, publication not",
         [](FeedDocument& d) {
             d.setFlag(u"chkLastChange", true);
             d.setDate(u"dateLastChange", QDate(2024, 5, 18));
         },
         "lastBuildDate", QStringList{"Sat, 18 May 2024 00:00:00 GMT"}},
        {"logo size without address",
         [](FeedDocument& d) {
             d.setText(u"edtLogoWidth", "88");
             d.setText(u"edtLogoHeight", "31");
         },
         "image", std::nullopt},
        {"logo address alone: empty title and link, sizes 0",
         [](FeedDocument& d) { d.setText(u"edtLogoUrl", "https://x.de/l.png"); }, "image/*",
         QStringList({"https://x.de/l.png", "", "", "0", "0"})},
        {"ttl 0 written", [](FeedDocument&) {}, "ttl", QStringList{"0"}},
        {"ttl as typed", [](FeedDocument& d) { d.setText(u"edtTTL", "060"); }, "ttl",
         QStringList{"060"}},
        {"no hour checked", [](FeedDocument&) {}, "skipHours", std::nullopt},
        {"hours 0, 7, 23 without leading zero",
         [](FeedDocument& d) {
             d.setFlag(u"chkH23", true);
             d.setFlag(u"chkH07", true);
             d.setFlag(u"chkH00", true);
         },
         "skipHours/hour", QStringList({"0", "7", "23"})},
        {"no day checked", [](FeedDocument&) {}, "skipDays", std::nullopt},
        {"Sunday and Monday, Monday first",
         [](FeedDocument& d) {
             d.setFlag(u"chkSunday", true);
             d.setFlag(u"chkMonday", true);
         },
         "skipDays/day", QStringList({"Monday", "Sunday"})},
        {"item author without mail", [&](FeedDocument& d) { entry(d).author = "Bea"; },
         "item/author", std::nullopt},
        {"item mail alone", [&](FeedDocument& d) { entry(d).email = "b@c.de"; }, "item/author",
         QStringList{"b@c.de"}},
        {"item mail and author",
         [&](FeedDocument& d) {
             TNewsEntry& e = entry(d);
             e.email = "b@c.de";
             e.author = "Bea Cramer";
         },
         "item/author", QStringList{"b@c.de (Bea Cramer)"}},
        {"item not published", [&](FeedDocument& d) { entry(d).date = QDate(2024, 5, 17); },
         "item/pubDate", std::nullopt},
        {"item published",
         [&](FeedDocument& d) {
             TNewsEntry& e = entry(d);
             e.chkPublish = true;
             e.date = QDate(2024, 5, 17);
             e.time = QTime(23, 59, 59);
         },
         "item/pubDate", QStringList{"Fri, 17 May 2024 23:59:59 GMT"}},
        {"empty guid still written", [&](FeedDocument& d) { entry(d); }, "item/guid",
         QStringList{""}},
    };
    for (const OmissionCase& c : cases) {
        FeedDocument d;
        c.setup(d);
        const Built b{d};
        std::optional<QStringList> got;
        QString path = QString::fromUtf8(c.path);
        if (path.endsWith(u"/*")) {
            path.chop(2);
            const XmlNode parent = b.channel.findChild(path);
            if (parent) {
                got = QStringList();
                for (XmlNode n = parent.firstChild(); n; n = n.nextSibling())
                    got->append(n.text());
            }
        } else {
            got = b.texts(path);
        }
        EXPECT_EQ(got, c.expected) << c.label;
    }
}

TEST(Rss20, MarkupAndLineBreaksStayText)
{
    const QString html =
        QStringLiteral("<p>Fett & <b>klar</b></p>\r\n\r\n<a href=\"x?a=1&b=2\">Link</a>");
    FeedDocument d;
    d.setText(u"memoDescription", html);
    addEntry(d, QStringLiteral("A & B <C>")).content = html;
    const Built b{d};
    EXPECT_EQ(b.texts("description"), QStringList{html});
    EXPECT_EQ(b.texts("item/description"), QStringList{html});
    EXPECT_EQ(b.texts("item/title"), QStringList{"A & B <C>"});
    EXPECT_FALSE(b.text.contains(u"<b>"));
    EXPECT_FALSE(b.text.contains(u"<p>"));
    EXPECT_TRUE(b.text.contains(u"&lt;b&gt;klar&lt;/b&gt;"));
    EXPECT_TRUE(b.text.contains(u"Fett &amp; "));
}

TEST(Rss20, BuildsAreIndependentOfEachOther)
{
    FeedDocument d = everythingSet();
    const QString first = Rss20::GenerateRSS20(d, kBerlin);
    EXPECT_EQ(Rss20::GenerateRSS20(d, kBerlin), first);
    d.entries.clear();
    const Built b{d, kBerlin};
    EXPECT_EQ(b.texts("item"), std::nullopt);
    EXPECT_EQ(b.text.count(u"<rss"), 1);
}

// Moments are entered as local times; the feed states them in UTC.
TEST(Rss20, DatesAreConvertedFromTheLocalZoneToUtc)
{
    const struct
    {
        const char* label;
        QTimeZone zone;
        QDate date;
        QTime time;
        const char* expected;
    } cases[] = {
        {"Berlin winter", kBerlin, QDate(2024, 1, 15), QTime(10, 0),
         "Mon, 15 Jan 2024 09:00:00 GMT"},
        {"Berlin summer", kBerlin, QDate(2024, 7, 1), QTime(10, 0),
         "Mon, 01 Jul 2024 08:00:00 GMT"},
        {"Berlin new year's night", kBerlin, QDate(2024, 1, 1), QTime(0, 30),
         "Sun, 31 Dec 2023 23:30:00 GMT"},
        {"UTC", QTimeZone::utc(), QDate(2024, 7, 1), QTime(10, 0), "Mon, 01 Jul 2024 10:00:00 GMT"},
    };
    for (const auto& c : cases) {
        FeedDocument d;
        d.setFlag(u"chkPublish", true);
        d.setDate(u"datePublish", c.date);
        d.setTime(u"publishTime", c.time);
        d.setFlag(u"chkLastChange", true);
        d.setDate(u"dateLastChange", c.date);
        d.setTime(u"timeLastChange", c.time);
        TNewsEntry& e = addEntry(d, QStringLiteral("E"));
        e.chkPublish = true;
        e.date = c.date;
        e.time = c.time;
        const Built b{d, c.zone};
        const QStringList expected{QString::fromUtf8(c.expected)};
        EXPECT_EQ(b.texts("pubDate"), expected) << c.label;
        EXPECT_EQ(b.texts("lastBuildDate"), expected) << c.label;
        EXPECT_EQ(b.texts("item/pubDate"), expected) << c.label;
    }
}

TEST(Rss20, FileFormWritesTheSameDocument)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rss.xml"));
    const FeedDocument d = everythingSet();
    Rss20::GenerateRSS20(d, path, kBerlin);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), Rss20::GenerateRSS20(d, kBerlin));
}

TEST(Rss20, FileFormThrowsWhenTheFileCannotBeWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fehlt/rss.xml"));
    try {
        Rss20::GenerateRSS20(FeedDocument(), path);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(Rss20LanguageCode, EveryListRowGivesACodeWithoutBrackets)
{
    for (const QString& row : ChannelSettings::languages()) {
        const QString code = Rss20::GetLanguageCode(row);
        EXPECT_FALSE(code.isEmpty()) << row.toStdString();
        EXPECT_FALSE(code.contains(u'[') || code.contains(u']') || code.contains(u' '))
            << row.toStdString() << " -> " << code.toStdString();
    }
}

TEST(Rss20LanguageCode, Table)
{
    const struct
    {
        const char* text;
        const char* code;
    } cases[] = {
        {"German (Germany) [de-de]", "de-de"},
        {"Hawaiian [haw]", "haw"},
        {"English (Phillipines) [en-ph]", "en-ph"},
        {"Icelandic is]", "is"},
        {"Portuguese (Brazil) [vpt-br]", "pt-br"},
        {"Portuguese (Portugal) [pt-pt]", "pt-pt"},
        {"", ""},
        {"de-at", "de-at"}, // a bare code read from a file stays whole
        {"Klingon [tlh", "tlh"},
        {"Nichts []", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rss20::GetLanguageCode(QString::fromUtf8(c.text)), QString::fromUtf8(c.code))
            << c.text;
}

} // namespace
