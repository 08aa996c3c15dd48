#include "output/FeedImport.h"

#include "document/ProjectFile.h"
#include "output/FeedDates.h"
#include "output/Rss20.h"
#include "platform/RegionalSettings.h"
#include "platform/XmlDocument.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const QTimeZone kBerlin("Europe/Berlin");
const QDateTime kNow(QDate(2025, 1, 15), QTime(12, 0, 0), Qt::UTC); // 13:00 in Berlin

QByteArray fixture(const QString& name)
{
    QFile f(QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FeedImportResult importFixture(const QString& name)
{
    return FeedImport::importFeed(fixture(name), kNow, kBerlin);
}

// ---- dates ------------------------------------------------------------------

struct DateCase
{
    const char* name;
    const char* text;
    const char* utc; // ISO, or nullptr when it must not read
};

class FeedDatesTest : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(FeedDatesTest, ReadsAsWrittenInTheWild)
{
    const DateCase& c = GetParam();
    const auto moment = FeedDates::parse(QString::fromUtf8(c.text));
    if (!c.utc) {
        EXPECT_FALSE(moment.has_value()) << moment->toString(Qt::ISODate).toStdString();
        return;
    }
    ASSERT_TRUE(moment.has_value());
    EXPECT_EQ(moment->toUTC().toString(Qt::ISODate), QString::fromLatin1(c.utc));
}

const DateCase kDates[] = {
    {"Rfc822Gmt", "Thu, 05 Mar 2009 08:07:06 GMT", "2009-03-05T08:07:06Z"},
    {"NumericZone", "Mon, 03 Jun 2024 06:00:00 +0200", "2024-06-03T04:00:00Z"},
    {"NumericZoneWithColon", "Mon, 03 Jun 2024 06:00:00 +02:00", "2024-06-03T04:00:00Z"},
    {"HalfHourZone", "Fri, 5 Jan 2024 14:30:00 -0330", "2024-01-05T18:00:00Z"},
    {"NamedZoneEst", "Wed, 10 Jan 24 14:30:00 EST", "2024-01-10T19:30:00Z"},
    {"NamedZonePdt", "Wed, 10 Jul 2024 14:30:00 PDT", "2024-07-10T21:30:00Z"},
    {"CentralEuropeanSummer", "Wed, 10 Jul 2024 14:30:00 CEST", "2024-07-10T12:30:00Z"},
    {"NoSeconds", "Wed, 10 Jan 2024 14:30 +0100", "2024-01-10T13:30:00Z"},
    {"NoDayName", "10 Jan 2024 14:30:00 GMT", "2024-01-10T14:30:00Z"},
    {"NoZoneIsUtc", "Wed, 10 Jan 2024 14:30:00", "2024-01-10T14:30:00Z"},
    {"NoTime", "10 Jan 2024", "2024-01-10T00:00:00Z"},
    {"TwoDigitYearLate", "Sat, 07 Sep 02 00:00:01 GMT", "2002-09-07T00:00:01Z"},
    {"TwoDigitYearEarly", "Fri, 07 Sep 99 00:00:01 GMT", "1999-09-07T00:00:01Z"},
    {"FullNames", "Wednesday, 10 January 2024 14:30:00 PST", "2024-01-10T22:30:00Z"},
    {"LowerCaseAndComment", "wed, 10 jan 2024 14:30:00 gmt (Mitteleuropa)", "2024-01-10T14:30:00Z"},
    {"MilitaryLetterAsUtc", "Wed, 10 Jan 2024 14:30:00 Z", "2024-01-10T14:30:00Z"},
    {"Rfc3339Utc", "2003-12-13T18:30:02Z", "2003-12-13T18:30:02Z"},
    {"Rfc3339Fraction", "2024-02-29T23:59:59.5-05:00", "2024-03-01T04:59:59Z"},
    {"Rfc3339Offset", "2024-03-01T10:00:00+01:00", "2024-03-01T09:00:00Z"},
    {"Rfc3339Blank", "2024-03-01 10:00:00Z", "2024-03-01T10:00:00Z"},
    {"Rfc3339Lower", "2024-03-01t10:00:00z", "2024-03-01T10:00:00Z"},
    {"W3cDateOnly", "2024-03-01", "2024-03-01T00:00:00Z"},
    {"W3cYearMonth", "2024-03", "2024-03-01T00:00:00Z"},
    {"Words", "gestern Abend", nullptr},
    {"Empty", "", nullptr},
    {"BadMonth", "10 Foo 2024 10:00:00 GMT", nullptr},
    {"BadDay", "31 Feb 2024 10:00:00 GMT", nullptr},
    {"BadHour", "2024-03-01T25:00:00Z", nullptr},
    {"BadZone", "Wed, 10 Jan 2024 14:30:00 XYZW", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Table, FeedDatesTest, ::testing::ValuesIn(kDates),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the table of feeds -----------------------------------------------------

struct Setting
{
    const char16_t* key;
    QString text; // texts, numbers and lists; "1"/"0" for flags; dates and times ISO
};

struct EntryExpect
{
    QString title, link, content, author, email, guid;
    QString moment; // local "yyyy-MM-dd HH:mm:ss" in Berlin; empty: import time
    QString fileUrl, filesize, mime;
};

struct FeedCase
{
    const char* name;
    const char* file;
    const char* format;
    std::vector<Setting> settings;
    std::vector<EntryExpect> entries;
    QStringList reportParts; // each must appear in the report
};

QString settingText(const FeedDocument& d, const Setting& s)
{
    const ChannelValue& v = d.value(ChannelSettings::indexOf(s.key));
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("1") : QStringLiteral("0");
    if (const QDate* date = std::get_if<QDate>(&v))
        return date->toString(Qt::ISODate);
    if (const QTime* time = std::get_if<QTime>(&v))
        return time->toString(Qt::ISODate);
    return std::get<QString>(v);
}

class FeedImportTable : public ::testing::TestWithParam<FeedCase>
{
};

TEST_P(FeedImportTable, FieldByField)
{
    const FeedCase& c = GetParam();
    const FeedImportResult r = importFixture(QString::fromLatin1(c.file));
    EXPECT_EQ(r.format, QString::fromLatin1(c.format));
    for (const Setting& s : c.settings)
        EXPECT_EQ(settingText(r.document, s), s.text) << QString::fromUtf16(s.key).toStdString();

    ASSERT_EQ(r.document.entries.size(), int(c.entries.size()));
    for (int i = 0; i < int(c.entries.size()); ++i) {
        const TNewsEntry& e = r.document.entries.at(i);
        const EntryExpect& x = c.entries[size_t(i)];
        SCOPED_TRACE("entry " + std::to_string(i));
        EXPECT_EQ(e.title, x.title);
        EXPECT_EQ(e.link, x.link);
        EXPECT_EQ(e.content, x.content);
        EXPECT_EQ(e.author, x.author);
        EXPECT_EQ(e.email, x.email);
        if (x.guid.isEmpty())
            EXPECT_EQ(e.guid.size(), 38) << e.guid.toStdString(); // a new GUID
        else
            EXPECT_EQ(e.guid, x.guid);
        const QString moment =
            x.moment.isEmpty() ? QStringLiteral("2025-01-15 13:00:00") : x.moment;
        EXPECT_EQ(QDateTime(e.date, e.time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                  moment);
        EXPECT_TRUE(e.chkPublish);
        EXPECT_EQ(e.fileUrl, x.fileUrl);
        EXPECT_EQ(e.filesize, x.filesize);
        EXPECT_EQ(e.mime, x.mime);
    }
    const QString report = FeedImport::reportText(r);
    for (const QString& part : c.reportParts)
        EXPECT_TRUE(report.contains(part))
            << report.toStdString() << "\nmissing: " << part.toStdString();
    if (c.reportParts.isEmpty())
        EXPECT_TRUE(r.report.isEmpty()) << report.toStdString();
}

const FeedCase kFeeds[] = {
    {"Rss091",
     "rss091.xml",
     "RSS 0.91",
     {{u"edtFeedTitle", "Alte Nachrichten"},
      {u"edtLink", "http://alt.example.org/"},
      {u"memoDescription", "Ein Feed aus der Zeit von RSS 0.91"},
      {u"cboLanguage", "English (United States) [en-us]"},
      {u"edtCopyright", "Copyright 2001, Alt"},
      {u"edtOwnerMail", "redaktion@alt.example.org"},
      {u"edtOwnerName", "Rita Redakteurin"},
      {u"chkPublish", "1"},
      {u"datePublish", "2002-09-07"},
      {u"publishTime", "02:00:01"},
      {u"chkLastChange", "1"},
      {u"timeLastChange", "11:42:31"},
      {u"edtLogoUrl", "http://alt.example.org/logo.gif"},
      {u"edtLogoTitle", "Alt"},
      {u"edtLinkLogo", "http://alt.example.org/"},
      {u"edtLogoWidth", "88"},
      {u"edtLogoHeight", "31"},
      {u"chkH00", "1"},
      {u"chkH07", "1"},
      {u"chkH23", "1"},
      {u"chkH08", "0"},
      {u"chkSaturday", "1"},
      {u"chkSunday", "1"},
      {u"chkMonday", "0"},
      {u"chkEnclosures", "0"}},
     {{"Erste Meldung", "http://alt.example.org/1.html", "Text & mehr", "", "", "", "", "", "",
       ""}},
     {"Nicht übernommen: webMaster (1)",
      "Ohne Datum, Zeitpunkt des Imports eingesetzt: 1 Eintrag"}},
    {"Rss20Podcast",
     "rss20_podcast.xml",
     "RSS 2.0",
     {{u"edtFeedTitle", "Podcast \"Hörbar\""},
      {u"memoDescription", "Gespräche über <b>alles</b>"},
      {u"cboLanguage", "German (Germany) [de-de]"},
      {u"edtTTL", "60"},
      {u"chkPublish", "0"},
      {u"edtLogoUrl", ""},
      {u"chkEnclosures", "1"}},
     {{"Folge 2: Über Brücken", "https://hoerbar.example.org/folge-2",
       "<p>Ausführlich über <i>Brücken</i></p>\r\n<p>Zweiter Absatz</p>", "Anna Ahrens",
       "anna@hoerbar.example.org", "hoerbar-folge-2", "2024-06-03 06:00:00",
       "https://cdn.example.org/folge2.mp3?x=1&y=2", "23456789", "audio/mpeg"},
      {"Folge 1: Anfang", "https://hoerbar.example.org/folge-1", "Die erste Folge", "", "",
       "https://hoerbar.example.org/folge-1", "2024-05-27 06:00:00",
       "https://cdn.example.org/folge1.m4a", "1234", "audio/x-m4a"}},
     {"Nicht übernommen: atom:* (1), itunes:* (4), category (3), comments (1)"}},
    {"Rss10",
     "rss10.rdf",
     "RSS 1.0",
     {{u"edtFeedTitle", "RDF-Nachrichten"},
      {u"cboLanguage", "French [fr]"},
      {u"edtCopyright", "CC BY 4.0"},
      {u"chkPublish", "1"},
      {u"datePublish", "2024-03-01"},
      {u"publishTime", "10:00:00"},
      {u"edtLogoUrl", "https://rdf.example.org/logo.png"},
      {u"edtLogoTitle", "RDF"}},
     {{"Eintrag A", "https://rdf.example.org/a", "<p>Lang A</p>", "Claude Crémieux", "",
       "https://rdf.example.org/a", "2024-03-01 10:30:15", "", "", ""},
      {"Eintrag B", "https://rdf.example.org/b", "Kurz B", "", "", "https://rdf.example.org/b",
       "2024-03-01 05:59:59", "", "", ""}},
     {"Nicht übernommen: dc:* (1)"}},
    {"Atom",
     "atom.xml",
     "Atom 1.0",
     {{u"edtFeedTitle", "Atom & mehr"},
      {u"memoDescription", "<p>Ein <em>Atom</em>-Feed</p>"},
      {u"edtLink", "https://atom.example.org/"},
      {u"cboLanguage", "German (Austria) [de-at]"},
      {u"edtCopyright", "© 2024 Atom-Leute"},
      {u"edtOwnerName", "Bea Beispiel"},
      {u"edtOwnerMail", "bea@atom.example.org"},
      {u"edtGUID", "{60A76C80-D399-11D9-B93C-0003939E0AF6}"},
      {u"chkLastChange", "1"},
      {u"dateLastChange", "2024-05-10"},
      {u"timeLastChange", "14:00:00"},
      {u"chkPublish", "0"},
      {u"edtLogoUrl", "https://atom.example.org/logo.png"},
      {u"edtLogoTitle", "Atom & mehr"},
      {u"edtLinkLogo", "https://atom.example.org/"},
      {u"chkEnclosures", "1"}},
     {{"HTML-Inhalt", "https://atom.example.org/html", "<p>Absatz mit <b>fett</b></p>",
       "Bea Beispiel", "bea@atom.example.org", "tag:atom.example.org,2024:html",
       "2024-05-01 08:00:00", "https://atom.example.org/a.ogg", "4321", "audio/ogg"},
      {"XHTML-Inhalt", "https://atom.example.org/xhtml", "<p>Ein <strong>xhtml</strong> Absatz</p>",
       "Carl Co", "", "tag:atom.example.org,2024:xhtml", "2024-05-03 12:20:30", "", "", ""},
      {"Text-Inhalt", "https://atom.example.org/text", "1 &lt; 2 &amp; &quot;Zitat&quot;",
       "Bea Beispiel", "bea@atom.example.org", "tag:atom.example.org,2024:text",
       "2024-05-04 02:00:00", "", "", ""}},
     {"link rel=self (1)", "category (1)", "icon (1)"}},
    {"Windows1252",
     "windows1252.xml",
     "RSS 2.0",
     {{u"edtFeedTitle", "Café – Preise in €"}, {u"memoDescription", "Grüße"}},
     {{"Ärger über „Anführungszeichen“", "https://cafe.example.org/1", "Kaffee für 2,50 €", "", "",
       "cafe-1", "2024-03-01 12:00:00", "", "", ""}},
     {}},
    {"Utf16",
     "utf16.xml",
     "RSS 2.0",
     {{u"edtFeedTitle", "Sechzehn Bit: Ωmega"}},
     {{"Zeichen: 日本 und ü", "https://utf16.example.org/1", "x", "", "", "u16-1",
       "2024-01-02 04:04:05", "", "", ""}},
     {}},
    {"MislabelledEncoding",
     "mislabelled.xml",
     "RSS 2.0",
     {{u"edtFeedTitle", "Falsch deklariert: Müller"}},
     {},
     {"Zeichensatz: Die Angabe „UTF-8“ passt nicht zum Inhalt; als windows-1252 gelesen."}},
    {"OddDates",
     "odd_dates.xml",
     "RSS 2.0",
     {},
     {{"ohne Sekunden", "https://d.example.org/d1", "", "", "", "d1", "2024-01-10 14:30:00", "", "",
       ""},
      {"ohne Tagesname", "https://d.example.org/d2", "", "", "", "d2", "2024-01-10 15:30:00", "",
       "", ""},
      {"zweistellig", "https://d.example.org/d3", "", "", "", "d3", "2024-01-10 20:30:00", "", "",
       ""},
      {"einstelliger Tag", "https://d.example.org/d4", "", "", "", "d4", "2024-01-05 19:00:00", "",
       "", ""},
      {"RFC 3339", "https://d.example.org/d5", "", "", "", "d5", "2024-01-10 15:30:00", "", "", ""},
      {"lange Namen", "https://d.example.org/d6", "", "", "", "d6", "2024-01-10 23:30:00", "", "",
       ""},
      {"kaputt", "https://d.example.org/d7", "", "", "", "d7", "", "", "", ""},
      {"fehlt", "https://d.example.org/d8", "", "", "", "d8", "", "", "", ""}},
     {"Datum nicht lesbar, Zeitpunkt des Imports eingesetzt: Eintrag 7 „kaputt“ („gestern Abend“)",
      "Ohne Datum, Zeitpunkt des Imports eingesetzt: 1 Eintrag"}},
};

INSTANTIATE_TEST_SUITE_P(Feeds, FeedImportTable, ::testing::ValuesIn(kFeeds),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- bad input --------------------------------------------------------------

struct BadCase
{
    const char* name;
    QByteArray bytes;
    FeedImportError::Kind kind;
    const char* message; // part of the German message
};

class FeedImportBadInput : public ::testing::TestWithParam<BadCase>
{
};

TEST_P(FeedImportBadInput, ClearGermanErrorAndNothingElse)
{
    const BadCase& c = GetParam();
    try {
        FeedImport::importFeed(c.bytes, kNow, kBerlin);
        FAIL() << "no error";
    } catch (const FeedImportError& e) {
        EXPECT_EQ(int(e.kind()), int(c.kind));
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.message)))
            << e.message().toStdString();
    }
}

QByteArray entityBomb()
{
    QByteArray doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE rss [\n<!ENTITY lol \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        doc += QStringLiteral("<!ENTITY lol%1 \"%2\">\n")
                   .arg(i)
                   .arg(QStringLiteral("&lol%1;")
                            .arg(i == 1 ? QString() : QString::number(i - 1))
                            .repeated(10))
                   .toUtf8();
    doc += "]>\n<rss version=\"2.0\"><channel><title>&lol9;</title></channel></rss>";
    return doc;
}

QByteArray externalEntity()
{
    return "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>"
           "<rss version=\"2.0\"><channel><title>&xxe;</title></channel></rss>";
}

QByteArray deepNesting(int depth)
{
    return "<rss version=\"2.0\"><channel><title>t</title><item><description>" +
           QByteArray("<x>").repeated(depth) + QByteArray("</x>").repeated(depth) +
           "</description></item></channel></rss>";
}

const BadCase kBad[] = {
    {"Empty", "  \n", FeedImportError::Kind::NotXml, "leer"},
    {"NotXml", "Das ist kein XML, nur Text.", FeedImportError::Kind::NotXml, "kein gültiges XML"},
    {"BrokenXml", "<rss version=\"2.0\"><channel><title>x</channel></rss>",
     FeedImportError::Kind::NotXml, "kein gültiges XML"},
    {"XmlButNoFeed", "<?xml version=\"1.0\"?><xml><FileInfo/></xml>",
     FeedImportError::Kind::NotAFeed, "XML, aber kein Feed"},
    {"RssWithoutChannel", "<rss version=\"2.0\"><item><title>x</title></item></rss>",
     FeedImportError::Kind::NoChannel, "keinen Kanal (channel)"},
    {"RdfWithoutChannel", "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/>",
     FeedImportError::Kind::NoChannel, "keinen Kanal"},
    {"HtmlPage", "<!DOCTYPE html>\n<html><head><title>Blog</title></head><body></body></html>",
     FeedImportError::Kind::WebPage, "Webseite (HTML) und kein Feed"},
    {"XhtmlPage",
     "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>",
     FeedImportError::Kind::WebPage, "Webseite"},
    {"EntityBomb", entityBomb(), FeedImportError::Kind::Unsafe, "eigene Entitäten"},
    {"ExternalEntity", externalEntity(), FeedImportError::Kind::Unsafe, "Sicherheitsgründen"},
    {"DeepNesting", deepNesting(100000), FeedImportError::Kind::Unsafe, "zu tief verschachtelt"},
    {"TooLarge", QByteArray(16 * 1024 * 1024 + 1, ' '), FeedImportError::Kind::TooLarge,
     "größer als 16 MiB"},
};

INSTANTIATE_TEST_SUITE_P(Table, FeedImportBadInput, ::testing::ValuesIn(kBad),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FeedImport, NestingWithinTheBoundIsReadAndUndeclaredEntitiesAreRefused)
{
    const FeedImportResult r = FeedImport::importFeed(deepNesting(200), kNow, kBerlin);
    EXPECT_EQ(r.document.entries.size(), 1);

    // HTML entities without a DTD are not XML: the strict reading refuses
    // them rather than keep them as text.
    try {
        FeedImport::importFeed("<rss version=\"2.0\"><channel><title>A&nbsp;B</title>"
                               "</channel></rss>",
                               kNow, kBerlin);
        FAIL() << "no error";
    } catch (const FeedImportError& e) {
        EXPECT_EQ(e.kind(), FeedImportError::Kind::NotXml);
        EXPECT_TRUE(e.message().contains(u"kein gültiges XML")) << e.message().toStdString();
    }
}

TEST(FeedImport, FilesThatCannotBeReadSayWhy)
{
    try {
        FeedImport::importFile(QStringLiteral("/nonexistent/feed.xml"), kNow, kBerlin);
        FAIL();
    } catch (const FeedImportError& e) {
        EXPECT_EQ(e.kind(), FeedImportError::Kind::Unreadable);
        EXPECT_TRUE(e.message().contains(u"existiert nicht")) << e.message().toStdString();
    }
    const FeedImportResult r = FeedImport::importFile(
        QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/atom.xml"), kNow, kBerlin);
    EXPECT_EQ(r.document.entries.size(), 3);
}

// ---- round trips ------------------------------------------------------------

QString programFile(const char* name)
{
    return QFileInfo(QStringLiteral(TAVISTREL_PROGRAM_PATH)).absolutePath() + u'/' +
           QString::fromLatin1(name);
}

// What RSS carries comes back: every setting the builder writes and every
// entry field. The channel GUID is not in RSS, so it is new; an entry that
// was not published has no date in RSS and comes back published at the
// import time.
TEST(FeedImportRoundTrip, TheSampleProjectsOwnFeedGivesBackItsSettingsAndEntries)
{
    RegionalSettings::setCurrent(RegionalSettings::german());
    const FeedDocument sample = ProjectFile::LoadProjectFile(programFile("samples/beispiel.tvst"));
    const QString rss = Rss20::GenerateRSS20(sample, kBerlin);
    const FeedImportResult r = FeedImport::importFeed(rss.toUtf8(), kNow, kBerlin);
    // The sample's one unpublished entry has no date in its feed.
    EXPECT_EQ(r.report, QStringList{"Ohne Datum, Zeitpunkt des Imports eingesetzt: 1 Eintrag"});

    const char16_t* carried[] = {
        u"edtFeedTitle", u"edtLink",     u"memoDescription", u"edtOwnerName",  u"edtOwnerMail",
        u"edtCopyright", u"chkPublish",  u"chkLastChange",   u"edtTTL",        u"edtLogoUrl",
        u"edtLogoTitle", u"edtLinkLogo", u"edtLogoWidth",    u"edtLogoHeight", u"cboLanguage"};
    for (const char16_t* key : carried)
        EXPECT_EQ(r.document.value(ChannelSettings::indexOf(key)),
                  sample.value(ChannelSettings::indexOf(key)))
            << QString::fromUtf16(key).toStdString();
    for (const QString& key : ChannelSettings::hourKeys() + ChannelSettings::dayKeys())
        EXPECT_EQ(r.document.flag(key), sample.flag(key)) << key.toStdString();
    if (sample.flag(u"chkPublish")) {
        EXPECT_EQ(r.document.date(u"datePublish"), sample.date(u"datePublish"));
        EXPECT_EQ(r.document.time(u"publishTime"), sample.time(u"publishTime"));
    }
    if (sample.flag(u"chkLastChange")) {
        EXPECT_EQ(r.document.date(u"dateLastChange"), sample.date(u"dateLastChange"));
        EXPECT_EQ(r.document.time(u"timeLastChange"), sample.time(u"timeLastChange"));
    }

    ASSERT_EQ(r.document.entries.size(), sample.entries.size());
    for (int i = 0; i < sample.entries.size(); ++i) {
        const TNewsEntry& want = sample.entries.at(i);
        const TNewsEntry& got = r.document.entries.at(i);
        SCOPED_TRACE(want.title.toStdString());
        EXPECT_EQ(got.title, want.title);
        EXPECT_EQ(got.link, want.link);
        EXPECT_EQ(got.content, want.content);
        EXPECT_EQ(got.guid, want.guid);
        if (!want.email.isEmpty()) {
            EXPECT_EQ(got.email, want.email);
            EXPECT_EQ(got.author, want.author);
        }
        if (want.chkPublish) {
            EXPECT_EQ(got.date, want.date);
            EXPECT_EQ(got.time, QTime(want.time.hour(), want.time.minute(), want.time.second()));
        }
    }
}

QList<QStringList> enclosuresOf(const QString& rss)
{
    XmlDocument xml;
    xml.loadFromData(rss.toUtf8());
    QList<QStringList> found;
    for (XmlNode item = xml.documentElement().findChild("channel").firstChild(); item;
         item = item.nextSibling()) {
        if (XmlNode e = item.findChild("enclosure"))
            found << QStringList{e.attribute("url"), e.attribute("length"), e.attribute("type")};
    }
    return found;
}

TEST(FeedImportRoundTrip, PodcastEnclosuresSurviveWithTheSwitchAndVanishWithout)
{
    FeedImportResult r = importFixture(QStringLiteral("rss20_podcast.xml"));
    EXPECT_EQ(r.enclosures, 2);
    const QList<QStringList> want = {
        {"https://cdn.example.org/folge2.mp3?x=1&y=2", "23456789", "audio/mpeg"},
        {"https://cdn.example.org/folge1.m4a", "1234", "audio/x-m4a"}};
    EXPECT_EQ(enclosuresOf(Rss20::GenerateRSS20(r.document, kBerlin)), want);

    r.document.setFlag(u"chkEnclosures", false);
    EXPECT_TRUE(enclosuresOf(Rss20::GenerateRSS20(r.document, kBerlin)).isEmpty());
}

} // namespace
