// The Unix listing parser at its edges: where fields begin and end, lines
// cut short, sizes beyond 32 bits, dates that do not exist, and local times
// around time-zone transitions, which must come out as QDateTime itself
// would make them.

#include "ftp/FtpListParsers.h"

#include <gtest/gtest.h>
#include <string>

namespace {

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

const QDateTime kMidJune2024 = local(2024, 6, 15, 12, 0);

struct EdgeRow
{
    const char* label; // the test's name
    const char* line;
    bool entry; // false: the line is passed over, the rest of the listing stays
    const char* name = "";
    qint64 size = 0;
    TIdDirItemType type = ditFile;
    QDateTime date = {};
    QDateTime now = kMidJune2024;
};

const EdgeRow kEdgeRows[] = {
    // Field boundaries: the name starts one character after the time or year.
    {"SingleBlankBeforeName", "-rw-r--r-- 1 anna users 5 Jan 16 18:53 a", true, "a", 5, ditFile,
     local(2024, 1, 16, 18, 53)},
    {"SecondBlankBelongsToName", "-rw-r--r-- 1 anna users 5 Jan 16 18:53  two", true, " two", 5,
     ditFile, local(2024, 1, 16, 18, 53)},
    {"TabsSeparateFields", "-rw-r--r--\t1\tanna\tusers\t5\tJan\t16\t2023\ttabbed name", true,
     "tabbed name", 5, ditFile, local(2023, 1, 16)},
    {"TabInsideName", "-rw-r--r-- 1 anna users 5 Jan 16 2023 a\tb", true, "a\tb", 5, ditFile,
     local(2023, 1, 16)},
    {"LeadingBlanksBeforeMode", "   -rw-r--r-- 1 anna users 5 Jan 16 2023 lead", true, "lead", 5,
     ditFile, local(2023, 1, 16)},
    {"NameHoldingADate", "-rw-r--r-- 1 anna users 5 Jan 16 2023 Feb 2 2020 notes", true,
     "Feb 2 2020 notes", 5, ditFile, local(2023, 1, 16)},
    {"OwnerNamedLikeAMonth", "-rw-r--r-- 1 jan users 5 Mar  3  2021 f", true, "f", 5, ditFile,
     local(2021, 3, 3)},
    {"GroupAndLinkCountLookLikeADay", "-rw-r--r-- 1 anna may 12 Mar  3  2021 f", true, "f", 12,
     ditFile, local(2021, 3, 3)},
    {"SixWordsAreEnough", "-rw-r--r-- 5 Jan 1 2020 x", true, "x", 5, ditFile, local(2020, 1, 1)},
    {"UppercaseMonth", "-rw-r--r-- 1 anna users 5 JAN 16 2023 upper", true, "upper", 5, ditFile,
     local(2023, 1, 16)},
    {"NonAsciiName",
     "-rw-r--r-- 1 anna users 5 Jan 16 2023 Gr\xc3\xbc\xc3\x9f"
     "e \xc3\xb1.txt",
     true,
     "Gr\xc3\xbc\xc3\x9f"
     "e \xc3\xb1.txt",
     5, ditFile, local(2023, 1, 16)},
    {"AclAtFlag", "-rw-r--r--@ 1 anna staff 5 Jan 16 2023 mac", true, "mac", 5, ditFile,
     local(2023, 1, 16)},
    {"SelinuxDotFlag", "drwxr-xr-x. 2 root root 6 Jan 16 2023 context", true, "context", 6,
     ditDirectory, local(2023, 1, 16)},
    {"SymlinkWithoutTarget", "lrwxrwxrwx 1 anna users 7 Mar  3  2021 plain", true, "plain", 7,
     ditSymbolicLink, local(2021, 3, 3)},
    // Sizes beyond 32 bits; beyond 64 bits the size is unknown, the entry stays.
    {"SizeOver4GiB", "-rw-r--r-- 1 anna users 4294967296 Jan 16 2023 big", true, "big",
     4294967296LL, ditFile, local(2023, 1, 16)},
    {"SizeAtInt64Max", "-rw-r--r-- 1 anna users 9223372036854775807 Jan 16 2023 max", true, "max",
     9223372036854775807LL, ditFile, local(2023, 1, 16)},
    {"SizeBeyondInt64IsZero", "-rw-r--r-- 1 anna users 9223372036854775808 Jan 16 2023 over", true,
     "over", 0, ditFile, local(2023, 1, 16)},
    {"SizeWithLeadingZeros", "-rw-r--r-- 1 anna users 000000000000000000000042 Jan 16 2023 z", true,
     "z", 42, ditFile, local(2023, 1, 16)},
    // Dates without a year: not after "now" plus a day, February 29 included.
    {"Feb29InTheCurrentLeapYear", "-rw-r--r-- 1 anna users 5 Feb 29 10:00 leap", true, "leap", 5,
     ditFile, local(2024, 2, 29, 10, 0)},
    {"Feb29FromTheLeapYearBefore", "-rw-r--r-- 1 anna users 5 Feb 29 10:00 leap", true, "leap", 5,
     ditFile, local(2024, 2, 29, 10, 0), local(2025, 1, 10, 8, 0)},
    {"Feb29WithinTheDaysSlack", "-rw-r--r-- 1 anna users 5 Feb 29 10:00 leap", true, "leap", 5,
     ditFile, local(2024, 2, 29, 10, 0), local(2024, 2, 28, 12, 0)},
    {"Feb29BeyondTheSlackHasNoDate", "-rw-r--r-- 1 anna users 5 Feb 29 13:00 leap", true, "leap", 5,
     ditFile, QDateTime(), local(2024, 2, 28, 12, 0)},
    {"Feb29WithoutALeapYearHasNoDate", "-rw-r--r-- 1 anna users 5 Feb 29 10:00 leap", true, "leap",
     5, ditFile, QDateTime(), local(2023, 6, 15, 12, 0)},
    {"NewYearWithinTheSlack", "-rw-r--r-- 1 anna users 5 Jan  1 10:00 early", true, "early", 5,
     ditFile, local(2025, 1, 1, 10, 0), local(2024, 12, 31, 12, 0)},
    {"NewYearBeyondTheSlack", "-rw-r--r-- 1 anna users 5 Jan  1 13:00 late", true, "late", 5,
     ditFile, local(2024, 1, 1, 13, 0), local(2024, 12, 31, 12, 0)},
    // Dates that do not exist: the entry stays, without a date.
    {"Feb30HasNoDate", "-rw-r--r-- 1 anna users 5 Feb 30  2020 x", true, "x", 5},
    {"DayZeroHasNoDate", "-rw-r--r-- 1 anna users 5 Jan  0  2020 x", true, "x", 5},
    {"Day32HasNoDate", "-rw-r--r-- 1 anna users 5 Jan 32 10:00 x", true, "x", 5},
    // Lines cut short or with a field that is not what it should be.
    {"EndsAfterTime", "-rw-r--r-- 1 anna users 5 Jan 16 18:53", false},
    {"EndsWithBlankAfterTime", "-rw-r--r-- 1 anna users 5 Jan 16 18:53 ", false},
    {"EndsInsideDate", "-rw-r--r-- 1 anna users 5 Jan 16", false},
    {"ModeOnly", "-rw-r--r--", false},
    {"FiveWords", "-rw-r--r-- 5 Jan 1 2020", false},
    {"SizeNotANumber", "-rw-r--r-- 1 anna users 5k Jan 16 2023 x", false},
    {"HourOutOfRange", "-rw-r--r-- 1 anna users 5 Jan 16 25:00 x", false},
    {"MinuteWithThreeDigits", "-rw-r--r-- 1 anna users 5 Jan 16 10:000 x", false},
    {"YearWithFiveDigits", "-rw-r--r-- 1 anna users 5 Jan 16 20233 x", false},
    {"IsoDateThatDoesNotExist", "-rw-r--r-- 1 anna users 5 2023-02-30 10:00 x", false},
    {"ModeWithUnknownLetter", "-rw-r--r-q 1 anna users 5 Jan 16 2023 x", false},
};

class UnixEdge : public ::testing::TestWithParam<EdgeRow>
{
};

// Each row between two plain lines, so that a passed-over line shows as a
// listing of two.
TEST_P(UnixEdge, ParsesOrPassesOver)
{
    const EdgeRow& row = GetParam();
    ListParseContext context;
    context.now = row.now;
    const QStringList lines = {"-rw-r--r-- 1 anna users 1 Jan  2  2020 first",
                               QString::fromUtf8(row.line),
                               "-rw-r--r-- 1 anna users 2 Jan  3  2020 last"};
    QString family;
    const auto items = FtpListParsers::parseList(lines, context, &family);
    EXPECT_EQ(family, QStringLiteral("Unix"));
    ASSERT_EQ(items.size(), row.entry ? 3 : 2) << row.line;
    EXPECT_EQ(items.front().FileName, QStringLiteral("first"));
    EXPECT_EQ(items.back().FileName, QStringLiteral("last"));
    if (!row.entry)
        return;
    const TIdFTPListItem& item = items[1];
    EXPECT_EQ(item.FileName, QString::fromUtf8(row.name));
    EXPECT_EQ(item.Size, row.size);
    EXPECT_EQ(item.ItemType, row.type);
    EXPECT_EQ(item.ModifiedDate.isValid(), row.date.isValid());
    EXPECT_EQ(item.ModifiedDate, row.date)
        << "got " << item.ModifiedDate.toString(Qt::ISODate).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Lines, UnixEdge, ::testing::ValuesIn(kEdgeRows),
                         [](const ::testing::TestParamInfo<EdgeRow>& info) {
                             return std::string(info.param.label);
                         });

TEST(UnixListing, VeryLongLinesKeepTheWholeName)
{
    const QString name = QString(100000, u'n') + QStringLiteral(" end");
    QString owners;
    for (int i = 0; i < 1000; ++i)
        owners += QStringLiteral("owner%1 ").arg(i);
    const QStringList lines = {"-rw-r--r-- 1 anna users 7 Jan 16 2023 " + name,
                               "-rw-r--r-- 1 " + owners + "8 Jan 16 2023 many owners"};
    ListParseContext context;
    context.now = kMidJune2024;
    const auto items = FtpListParsers::parseList(lines, context);
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].FileName, name);
    EXPECT_EQ(items[0].Size, 7);
    EXPECT_EQ(items[1].FileName, QStringLiteral("many owners"));
    EXPECT_EQ(items[1].Size, 8);
}

// Wall-clock times a listing of a given zone gives, from start to end in
// steps of `step` minutes, as ISO listing lines.
struct TimeWindow
{
    QDateTime start;
    QDateTime end;
    int stepMinutes;
};

// Times in a zone's gaps, overlaps, before 1970, after its last listed rule
// and across decades of daylight saving time: each entry must have the
// instant, offset and daylight flag QDateTime gives the same wall-clock time.
TEST(UnixListing, LocalTimesMatchQDateTimeAcrossZoneTransitions)
{
    const auto at = [](int y, int mo, int d) { return QDateTime(QDate(y, mo, d), QTime(0, 0)); };
    const TimeWindow windows[] = {
        {at(1969, 12, 1), at(1970, 2, 1), 97},
        {at(2011, 3, 1), at(2012, 3, 1), 97},
        {at(2037, 9, 1), at(2038, 4, 15), 97},
        {at(1980, 1, 1), at(2024, 12, 31), 7 * 24 * 60 + 181},
    };
    QStringList lines;
    QList<QPair<QDate, QTime>> wall;
    for (const TimeWindow& window : windows) {
        for (QDateTime t = window.start; t < window.end; t = t.addSecs(window.stepMinutes * 60)) {
            wall.append({t.date(), t.time()});
            lines.append(QStringLiteral("-rw-r--r-- 1 anna users 1 %1 %2 f")
                             .arg(t.date().toString(Qt::ISODate), t.time().toString(u"hh:mm")));
        }
    }
    for (const char* zoneId : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                               "Pacific/Apia", "America/Sao_Paulo", "UTC"}) {
        const QTimeZone zone(zoneId);
        if (!zone.isValid())
            GTEST_SKIP() << "no time-zone data for " << zoneId;
        for (const std::optional<int> serverOffset : {std::optional<int>(), std::optional(-300)}) {
            ListParseContext context;
            context.now = kMidJune2024;
            context.localZone = zone;
            context.serverUtcOffsetMinutes = serverOffset;
            const auto items = FtpListParsers::parseList(lines, context);
            ASSERT_EQ(items.size(), lines.size()) << zoneId;
            int wrong = 0;
            for (qsizetype i = 0; i < items.size() && wrong < 5; ++i) {
                const QDateTime expected = serverOffset
                                               ? QDateTime(wall[i].first, wall[i].second, Qt::UTC)
                                                     .addSecs(-*serverOffset * 60)
                                                     .toTimeZone(zone)
                                               : QDateTime(wall[i].first, wall[i].second, zone);
                const QDateTime& got = items[i].ModifiedDate;
                if (got != expected || got.offsetFromUtc() != expected.offsetFromUtc() ||
                    got.isDaylightTime() != expected.isDaylightTime() ||
                    got.timeSpec() != expected.timeSpec()) {
                    ++wrong;
                    ADD_FAILURE() << zoneId << ' ' << lines[i].toStdString() << ": got "
                                  << got.toString(Qt::ISODate).toStdString() << ", expected "
                                  << expected.toString(Qt::ISODate).toStdString();
                }
            }
        }
    }
}

} // namespace
