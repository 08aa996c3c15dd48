#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>

namespace {

RegionalSettings us()
{
    return RegionalSettings::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
}
RegionalSettings de()
{
    return RegionalSettings::fromLocale(QLocale(QLocale::German, QLocale::Germany));
}

TEST(RegionalSettings, DerivesNumericPatternsFromTheLocale)
{
    const RegionalSettings g = de();
    EXPECT_EQ(g.dateOrder, RegionalSettings::DateOrder::DayMonthYear);
    EXPECT_EQ(g.dateSeparator, ".");
    EXPECT_FALSE(g.twelveHour);

    const RegionalSettings u = us();
    EXPECT_EQ(u.dateOrder, RegionalSettings::DateOrder::MonthDayYear);
    EXPECT_EQ(u.dateSeparator, "/");
    EXPECT_TRUE(u.twelveHour);
    EXPECT_FALSE(u.amPmFirst);
    EXPECT_FALSE(u.hourLeadingZero);

    // Month names give no numeric form; the German one is taken instead.
    const RegionalSettings c = RegionalSettings::fromLocale(QLocale::c());
    EXPECT_EQ(c.formatDate(QDate(2009, 2, 20)), "20.02.2009");
}

TEST(RegionalSettings, WritesFourDigitYearsAndReadsThemBack)
{
    struct Case
    {
        RegionalSettings settings;
        QDate date;
        const char* text;
    };
    const Case cases[] = {
        {de(), QDate(2009, 2, 20), "20.02.2009"},
        {de(), QDate(1899, 12, 30), "30.12.1899"},
        {us(), QDate(2009, 2, 20), "2/20/2009"},
        {us(), QDate(2024, 12, 1), "12/1/2024"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.settings.formatDate(c.date), c.text);
        EXPECT_EQ(c.settings.parseDate(QString::fromLatin1(c.text)), c.date);
    }
}

TEST(RegionalSettings, ReadsDottedAndIsoDatesUnderAnySettings)
{
    const RegionalSettings settings[] = {de(), us()};
    for (const RegionalSettings& s : settings) {
        EXPECT_EQ(s.parseDate(u"20.02.2009"), QDate(2009, 2, 20));
        EXPECT_EQ(s.parseDate(u"2009-02-20"), QDate(2009, 2, 20));
        EXPECT_EQ(s.parseDate(u""), std::nullopt);
        EXPECT_EQ(s.parseDate(u"31.02.2009"), std::nullopt);
        EXPECT_EQ(s.parseDate(u"20.02"), std::nullopt);
        EXPECT_EQ(s.parseDate(u"a.b.c"), std::nullopt);
    }
    // Two-digit years from older files land in the century around today.
    EXPECT_EQ(de().parseDate(u"20.02.09"), QDate(2009, 2, 20));
}

TEST(RegionalSettings, TimesFollowClockAndMarkers)
{
    RegionalSettings first = us();
    first.amPmFirst = true;
    struct Case
    {
        RegionalSettings settings;
        QTime time;
        const char* text;
    };
    const Case cases[] = {
        {de(), QTime(18, 48, 5), "18:48:05"},   {de(), QTime(0, 0, 0), "00:00:00"},
        {us(), QTime(18, 48, 5), "6:48:05 PM"}, {us(), QTime(0, 5, 9), "12:05:09 AM"},
        {us(), QTime(12, 0, 0), "12:00:00 PM"}, {first, QTime(9, 1, 2), "AM 9:01:02"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.settings.formatTime(c.time), c.text);
        EXPECT_EQ(c.settings.parseTime(QString::fromLatin1(c.text)), c.time);
    }
    EXPECT_EQ(de().parseTime(u"18:48"), QTime(18, 48));
    EXPECT_EQ(us().parseTime(u"18:48:05"), QTime(18, 48, 5));
    EXPECT_EQ(de().parseTime(u""), std::nullopt);
    EXPECT_EQ(de().parseTime(u"25:00:00"), std::nullopt);
    EXPECT_EQ(de().parseTime(u"12"), std::nullopt);
}

} // namespace
