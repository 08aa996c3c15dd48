#include "output/FeedCheck.h"

#include "document/ProjectFile.h"
#include "output/FeedCheck_p.h"
#include "platform/RegionalSettings.h"

#include <QFileInfo>
#include <functional>
#include <gtest/gtest.h>

namespace {

using FeedCheck::Finding;
using FeedCheck::Level;

const QDateTime kNow(QDate(2024, 6, 15), QTime(12, 0), Qt::UTC);

FeedCheck::Options fixedOptions()
{
    FeedCheck::Options o;
    o.now = kNow;
    o.localZone = QTimeZone::utc();
    return o;
}

TNewsEntry& addEntry(FeedDocument& d, int n)
{
    auto e = std::make_unique<TNewsEntry>();
    e->title = QStringLiteral("Meldung %1").arg(n);
    e->link = QStringLiteral("https://example.org/meldung/%1").arg(n);
    e->content = QStringLiteral("<p>Text <b>fett</b> mit <a href=\"https://example.org/\">Link</a>"
                                "<br>und Bild <img src=\"https://example.org/a.png\"/></p>");
    e->guid = QStringLiteral("{00000000-0000-0000-0000-%1}").arg(n, 12, 10, QLatin1Char('0'));
    e->chkPublish = true;
    e->date = QDate(2024, 6, 1);
    e->time = QTime(10, 0);
    d.entries.append(std::move(e));
    return d.entries.at(d.entries.size() - 1);
}

// A small project with nothing to find.
FeedDocument cleanProject()
{
    FeedDocument d;
    d.setText(u"edtFeedTitle", QStringLiteral("Vereinsnachrichten"));
    d.setText(u"edtLink", QStringLiteral("https://example.org/"));
    d.setText(u"memoDescription", QStringLiteral("Neues aus dem <i>Verein</i>."));
    d.setText(u"edtOwnerMail", QStringLiteral("redaktion@example.org"));
    d.setFlag(u"chkPublish", true);
    d.setDate(u"datePublish", QDate(2024, 6, 14));
    d.setTime(u"publishTime", QTime(9, 30));
    addEntry(d, 1);
    return d;
}

struct Case
{
    const char* name;
    std::function<void(FeedDocument&)> plant;
    // Expected findings as (level, place); empty: the plant is fine.
    std::vector<std::pair<Level, const char*>> expected;
};

// ctest names carry the printed parameter: the case's name keeps them stable.
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

TNewsEntry& first(FeedDocument& d)
{
    return d.entries.at(0);
}

void logo(FeedDocument& d, const char* width, const char* height)
{
    d.setText(u"edtLogoUrl", QStringLiteral("https://example.org/logo.png"));
    d.setText(u"edtLinkLogo", QStringLiteral("https://example.org/"));
    d.setText(u"edtLogoWidth", QString::fromLatin1(width));
    d.setText(u"edtLogoHeight", QString::fromLatin1(height));
}

constexpr Level E = Level::Error;
constexpr Level W = Level::Warning;

const Case kCases[] = {
    {"ChannelTitleEmpty",
     [](FeedDocument& d) { d.setText(u"edtFeedTitle", {}); },
     {{E, "edtFeedTitle"}}},
    {"ChannelLinkEmpty", [](FeedDocument& d) { d.setText(u"edtLink", {}); }, {{E, "edtLink"}}},
    {"ChannelLinkWithoutScheme",
     [](FeedDocument& d) { d.setText(u"edtLink", QStringLiteral("www.example.org")); },
     {{E, "edtLink"}}},
    {"ChannelLinkFtp",
     [](FeedDocument& d) { d.setText(u"edtLink", QStringLiteral("ftp://example.org/")); },
     {{E, "edtLink"}}},
    {"ChannelLinkWithBlank",
     [](FeedDocument& d) { d.setText(u"edtLink", QStringLiteral("https://example.org/a b")); },
     {{E, "edtLink"}}},
    {"ChannelLinkUpperCaseScheme",
     [](FeedDocument& d) { d.setText(u"edtLink", QStringLiteral("HTTPS://Example.org")); },
     {}},
    {"DescriptionEmpty",
     [](FeedDocument& d) { d.setText(u"memoDescription", {}); },
     {{E, "memoDescription"}}},
    {"OwnerMailWithoutAt",
     [](FeedDocument& d) { d.setText(u"edtOwnerMail", QStringLiteral("redaktion.example.org")); },
     {{E, "edtOwnerMail"}}},
    {"OwnerMailWithoutDomain",
     [](FeedDocument& d) { d.setText(u"edtOwnerMail", QStringLiteral("redaktion@")); },
     {{E, "edtOwnerMail"}}},
    {"OwnerMailHostWithoutDot",
     [](FeedDocument& d) { d.setText(u"edtOwnerMail", QStringLiteral("root@localhost")); },
     {{E, "edtOwnerMail"}}},
    {"OwnerMailEmptyIsFine", [](FeedDocument& d) { d.setText(u"edtOwnerMail", {}); }, {}},
    {"LogoRelativeAddress",
     [](FeedDocument& d) {
         logo(d, "88", "31");
         d.setText(u"edtLogoUrl", QStringLiteral("/logo.png"));
     },
     {{E, "edtLogoUrl"}}},
    {"LogoLinkEmpty",
     [](FeedDocument& d) {
         logo(d, "88", "31");
         d.setText(u"edtLinkLogo", {});
     },
     {{E, "edtLinkLogo"}}},
    {"LogoLimitsExactly", [](FeedDocument& d) { logo(d, "144", "400"); }, {}},
    {"LogoTooWide", [](FeedDocument& d) { logo(d, "145", "31"); }, {{E, "edtLogoWidth"}}},
    {"LogoTooHigh", [](FeedDocument& d) { logo(d, "88", "401"); }, {{E, "edtLogoHeight"}}},
    {"LogoSizeUnknown", [](FeedDocument& d) { logo(d, "0", "0"); }, {{W, "edtLogoWidth"}}},
    {"LogoHeightUnknown", [](FeedDocument& d) { logo(d, "88", "0"); }, {{W, "edtLogoHeight"}}},
    {"LogoSizesIgnoredWithoutLogo",
     [](FeedDocument& d) {
         d.setText(u"edtLogoWidth", QStringLiteral("900"));
         d.setText(u"edtLinkLogo", QStringLiteral("kein Link"));
     },
     {}},
    {"TtlNegative",
     [](FeedDocument& d) { d.setText(u"edtTTL", QStringLiteral("-5")); },
     {{E, "edtTTL"}}},
    {"TtlNotANumber",
     [](FeedDocument& d) { d.setText(u"edtTTL", QStringLiteral("60 min")); },
     {{E, "edtTTL"}}},
    {"TtlEmpty", [](FeedDocument& d) { d.setText(u"edtTTL", {}); }, {{E, "edtTTL"}}},
    {"TtlZeroIsFine", [](FeedDocument& d) { d.setText(u"edtTTL", QStringLiteral("0")); }, {}},
    {"ChannelDateMoreThanADayAhead",
     [](FeedDocument& d) {
         d.setDate(u"datePublish", QDate(2024, 6, 16));
         d.setTime(u"publishTime", QTime(12, 1));
     },
     {{W, "datePublish"}}},
    {"ChannelDateJustUnderADayAhead",
     [](FeedDocument& d) {
         d.setDate(u"datePublish", QDate(2024, 6, 16));
         d.setTime(u"publishTime", QTime(11, 59));
     },
     {}},
    {"ChannelDateAheadButNotWritten",
     [](FeedDocument& d) {
         d.setDate(u"datePublish", QDate(2030, 1, 1));
         d.setFlag(u"chkPublish", false);
     },
     {}},
    {"FeedUrlRelative",
     [](FeedDocument& d) { d.setText(u"edtFeedUrl", QStringLiteral("rss.xml")); },
     {{E, "edtFeedUrl"}}},
    {"ControlCharacterInChannelTitle",
     [](FeedDocument& d) { d.setText(u"edtFeedTitle", QStringLiteral("Verein\x0b")); },
     {{E, "edtFeedTitle"}}},
    {"ControlCharacterInStoredOnlySetting",
     [](FeedDocument& d) { d.setText(u"edtFTPFolder", QStringLiteral("/htdocs\x01")); },
     {{E, "edtFTPFolder"}}},
    {"DescriptionRelativeHref",
     [](FeedDocument& d) {
         d.setText(u"memoDescription", QStringLiteral("Siehe <a href='/verein'>hier</a>."));
     },
     {{W, "memoDescription"}}},
    {"NoEntries", [](FeedDocument& d) { d.entries.clear(); }, {{W, "lstNews"}}},
    {"EntryLinkEmpty", [](FeedDocument& d) { first(d).link.clear(); }, {{E, "Eintrag 1/link"}}},
    {"EntryLinkRelative",
     [](FeedDocument& d) { first(d).link = QStringLiteral("meldung.html"); },
     {{E, "Eintrag 1/link"}}},
    {"EntryMailWithoutAt",
     [](FeedDocument& d) { first(d).email = QStringLiteral("Margarete Schönfeld"); },
     {{E, "Eintrag 1/email"}}},
    {"EntryWithoutTitleAndText",
     [](FeedDocument& d) {
         first(d).title.clear();
         first(d).content.clear();
     },
     {{E, "Eintrag 1/title"}}},
    {"EntryWithTextOnlyIsFine", [](FeedDocument& d) { first(d).title.clear(); }, {}},
    {"DuplicateGuidNamesTheLaterEntry",
     [](FeedDocument& d) {
         addEntry(d, 2);
         addEntry(d, 3).guid = first(d).guid;
     },
     {{E, "Eintrag 3/guid"}}},
    {"EntryDateAhead",
     [](FeedDocument& d) { addEntry(d, 2).date = QDate(2024, 7, 1); },
     {{W, "Eintrag 2/date"}}},
    {"EntryDateAheadNotPublished",
     [](FeedDocument& d) {
         first(d).date = QDate(2024, 7, 1);
         first(d).chkPublish = false;
     },
     {}},
    {"ControlCharacterInEntryTitle",
     [](FeedDocument& d) { first(d).title = QStringLiteral("Fest\x0b am See"); },
     {{E, "Eintrag 1/title"}}},
    {"LoneSurrogateInEntryText",
     [](FeedDocument& d) { first(d).content = QString(QChar(0xD800)) + QStringLiteral("Text"); },
     {{E, "Eintrag 1/content"}}},
    {"NonCharacterInAuthor",
     [](FeedDocument& d) { first(d).author = QString(QChar(0xFFFE)); },
     {{E, "Eintrag 1/author"}}},
    {"EmojiIsFine", [](FeedDocument& d) { first(d).title = QStringLiteral("Fest 🎉"); }, {}},
    {"EntryRelativeImage",
     [](FeedDocument& d) { first(d).content = QStringLiteral("<img src=\"bilder/fest.jpg\">"); },
     {{W, "Eintrag 1/content"}}},
    {"EntryScript",
     [](FeedDocument& d) {
         first(d).content = QStringLiteral("Hallo<script>alert('<b>')</script>");
     },
     {{W, "Eintrag 1/content"}}},
    {"EntryIframe",
     [](FeedDocument& d) {
         first(d).content = QStringLiteral("<iframe src=\"https://example.org/v\"></iframe>");
     },
     {{W, "Eintrag 1/content"}}},
    {"EntryOnAttribute",
     [](FeedDocument& d) {
         first(d).content = QStringLiteral("<span ONMOUSEOVER=\"x()\">Hallo</span>");
     },
     {{W, "Eintrag 1/content"}}},
    {"EntryTagLeftOpen",
     [](FeedDocument& d) { first(d).content = QStringLiteral("<b>Wichtig: <i>heute</i>"); },
     {{W, "Eintrag 1/content"}}},
    {"EntryOptionalEndTagsAreFine",
     [](FeedDocument& d) {
         first(d).content = QStringLiteral("<p>Eins<p>Zwei<ul><li>a<li>b</ul><hr>"
                                           "<!-- <b> --> a < b, <a href=\"mailto:x@y.de\">m</a>");
     },
     {}},
    {"LargeFeed",
     [](FeedDocument& d) {
         for (int i = 2; i <= 600; ++i)
             addEntry(d, i).content = QString(1000, u'x');
     },
     {{W, "edtFileNameRSS"}}},
};

class FeedCheckCases : public ::testing::TestWithParam<Case>
{
};

TEST_P(FeedCheckCases, FindsThePlantedProblemOnly)
{
    FeedDocument d = cleanProject();
    GetParam().plant(d);
    const QList<Finding> findings = FeedCheck::run(d, fixedOptions());
    QStringList got;
    for (const Finding& f : findings)
        got << f.levelText() + u' ' + f.place();
    QStringList want;
    for (const auto& [level, place] : GetParam().expected)
        want << QString::fromUtf8(level == Level::Error ? "Fehler " : "Warnung ") +
                    QString::fromUtf8(place);
    EXPECT_EQ(got, want) << [&] {
        QString all;
        for (const Finding& f : findings)
            all += f.line() + u'\n';
        return all.toStdString();
    }();
    for (const Finding& f : findings)
        EXPECT_FALSE(f.message.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Plants, FeedCheckCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FeedCheck, CleanProjectHasNoFindings)
{
    EXPECT_TRUE(FeedCheck::run(cleanProject(), fixedOptions()).isEmpty());
}

TEST(FeedCheck, LinesAndSummary)
{
    FeedDocument d = cleanProject();
    d.setText(u"edtOwnerMail", QStringLiteral("redaktion"));
    addEntry(d, 2).guid = first(d).guid;
    first(d).content = QStringLiteral("<b>offen");
    const QList<Finding> findings = FeedCheck::run(d, fixedOptions());
    ASSERT_EQ(findings.size(), 3);
    EXPECT_TRUE(findings[0].line().startsWith(u"Fehler: edtOwnerMail: "))
        << findings[0].line().toStdString();
    EXPECT_TRUE(findings[1].line().startsWith(u"Warnung: Eintrag 1/content: "));
    EXPECT_TRUE(findings[2].line().startsWith(u"Fehler: Eintrag 2/guid: "));
    // The duplicate names both positions.
    EXPECT_TRUE(findings[2].message.contains(u"Eintrag 1")) << findings[2].message.toStdString();
    EXPECT_TRUE(findings[2].message.contains(u'2'));
    EXPECT_EQ(FeedCheck::errorCount(findings), 2);
    EXPECT_EQ(FeedCheck::summary(findings), u"2 Fehler, 1 Warnung");
    EXPECT_EQ(FeedCheck::summary({}), u"0 Fehler, 0 Warnungen");
}

// The summer-time zone of the project moves "a day ahead" by its offset.
TEST(FeedCheck, FutureDatesAreLocalTimes)
{
    FeedDocument d = cleanProject();
    FeedCheck::Options o = fixedOptions();
    o.localZone = QTimeZone("Europe/Berlin");
    // 16 June 14:00 Berlin is 12:00 UTC: exactly one day ahead, not more.
    d.setDate(u"datePublish", QDate(2024, 6, 16));
    d.setTime(u"publishTime", QTime(14, 0));
    EXPECT_TRUE(FeedCheck::run(d, o).isEmpty());
    d.setTime(u"publishTime", QTime(14, 1));
    EXPECT_EQ(FeedCheck::run(d, o).size(), 1);
}

TEST(FeedCheck, SampleProjectHasNoErrors)
{
    RegionalSettings::setCurrent(RegionalSettings::german());
    const QString path = QFileInfo(QStringLiteral(TAVISTREL_PROGRAM_PATH)).absolutePath() +
                         QStringLiteral("/samples/beispiel.tvst");
    const FeedDocument sample = ProjectFile::LoadProjectFile(path);
    RegionalSettings::resetToSystem();
    const QList<Finding> findings = FeedCheck::run(sample, fixedOptions());
    for (const Finding& f : findings)
        EXPECT_EQ(f.level, Level::Warning) << f.line().toStdString();
}

struct AddressCase
{
    const char* text;
    bool absolute;
};

TEST(FeedCheck, AbsoluteHttpAddresses)
{
    const AddressCase cases[] = {
        {"https://example.org", true},
        {"http://example.org/a?b=1#c", true},
        {"HTTP://EXAMPLE.ORG/", true},
        {"https://", false},
        {"https:///pfad", false},
        {"http:example.org", false},
        {"//example.org/", false},
        {"ftp://example.org/", false},
        {"https://example.org/ a", false},
        {"", false},
        {"{0F8F0000-0000-0000-0000-000000000000}", false},
    };
    for (const AddressCase& c : cases)
        EXPECT_EQ(FeedCheck::isAbsoluteHttpAddress(QString::fromUtf8(c.text)), c.absolute)
            << c.text;
}

struct HtmlCase
{
    const char* html;
    const char* relative;
    const char* active;
    const char* unclosed;
};

TEST(FeedCheck, HtmlScan)
{
    const HtmlCase cases[] = {
        {"plain text & more", "", "", ""},
        {"<a href=\"seite.html\">x</a>", "seite.html", "", ""},
        {"<a href=seite.html>x</a>", "seite.html", "", ""},
        {"<a href = ' #oben '>x</a>", "#oben", "", ""},
        {"<img src=\"data:image/png;base64,AA\">", "", "", ""},
        {"<a name=x>Anker</a>", "", "", ""},
        {"<div onclick=\"go()\">x</div>", "", "onclick=…", ""},
        {"<online>x</online>", "", "", ""},
        {"<SCRIPT>if (a<b) {}</SCRIPT>", "", "<script>", ""},
        {"<object data=x></object>", "", "<object>", ""},
        {"<b>fett", "", "", "b"},
        {"<div><b>fett</div>", "", "", "b"},
        {"</b>stray", "", "", ""},
        {"<br/><br><img src='https://e.org/x.png'/>", "", "", ""},
        {"<table><tr><td>1<td>2</table>", "", "", ""},
        {"<!-- <b> -->", "", "", ""},
        {"<b attr=\"unterminated", "", "", "b"},
        {"a <", "", "", ""},
    };
    for (const HtmlCase& c : cases) {
        const auto got = FeedCheck::detail::scanHtml(QString::fromUtf8(c.html));
        EXPECT_EQ(got.relativeAddress, QString::fromUtf8(c.relative)) << c.html;
        EXPECT_EQ(got.activeContent, QString::fromUtf8(c.active)) << c.html;
        EXPECT_EQ(got.unclosedTag, QString::fromUtf8(c.unclosed)) << c.html;
    }
}

} // namespace

namespace {

// The size estimate of a large feed.
QString sizeWarning(const FeedDocument& d)
{
    for (const Finding& f : FeedCheck::run(d, fixedOptions()))
        if (f.key == u"edtFileNameRSS")
            return f.message;
    return {};
}

// Each character counts with the bytes the RSS file gives it: UTF-8, the
// escapes of "&", "<", ">" and CR, nothing for what XML forbids. The scan
// takes eight characters at a time, so each one stands at every place of a
// block. Text that adds exactly 1024 bytes adds exactly one KB.
TEST(FeedCheck, SizeCountsEachCharacterAsWritten)
{
    const struct
    {
        QString text;
        int bytes;
    } kChars[] = {
        {QStringLiteral("&"), 5},    {QStringLiteral("<"), 4},    {QStringLiteral(">"), 4},
        {QStringLiteral("\r"), 5},   {QStringLiteral("\n"), 1},   {QStringLiteral("\t"), 1},
        {QStringLiteral("\""), 1},   {QString(QChar(0x01)), 0},   {QString(QChar(0x7F)), 1},
        {QStringLiteral("ä"), 2},    {QStringLiteral("€"), 3},    {QStringLiteral("😀"), 4},
        {QString(QChar(0xDE00)), 0}, {QString(QChar(0xD83D)), 0}, // never a pair
        {QString(QChar(0xFFFE)), 0},
    };
    FeedDocument base = cleanProject();
    first(base).content = QString(600 * 1024, u'x'); // past the warning's limit
    const QString before = sizeWarning(base);
    ASSERT_FALSE(before.isEmpty());

    QString added;
    int bytes = 0;
    for (const auto& c : kChars) {
        for (int at = 0; at < 9; ++at) {
            added += QString(at, u'y') + c.text;
            bytes += at + c.bytes;
        }
    }
    const int pad = 1024 - bytes % 1024;
    added += QString(pad, u'z');
    const int addedKb = (bytes + pad) / 1024;

    FeedDocument more = cleanProject();
    first(more).content = first(base).content + added;
    const auto kbOf = [](const QString& message) {
        return message.section(u' ', 4, 4).toInt(); // "Die RSS-Datei wird etwa N KB groß. ..."
    };
    EXPECT_EQ(kbOf(sizeWarning(more)), kbOf(before) + addedKb) << sizeWarning(more).toStdString();
}

} // namespace
