#include "output/RssTime.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

// A model value from a day number (days since 1899-12-30) and seconds of the day.
double moment(int days, double seconds)
{
    return days + seconds / 86400.0;
}

struct DoubleCase
{
    const char* label;
    double value;
    const char* expected;
};

const DoubleCase kDoubleCases[] = {
    {"worked example", moment(39877, 8 * 3600 + 7 * 60 + 6), "Thu, 05 Mar 2009 08:07:06 GMT"},
    {"milliseconds dropped, not rounded into the second",
     moment(39864, 18 * 3600 + 48 * 60 + 5.883), "Fri, 20 Feb 2009 18:48:05 GMT"},
    {"midnight", moment(45474, 0), "Mon, 01 Jul 2024 00:00:00 GMT"},
    {"one second before midnight", moment(45474, 86399), "Mon, 01 Jul 2024 23:59:59 GMT"},
    {"single-digit minute and second", moment(45474, 14 * 3600 + 5 * 60 + 9),
     "Mon, 01 Jul 2024 14:05:09 GMT"},
    {"0.4 ms before midnight rolls into the next year", moment(45657, 86400 - 0.0004),
     "Wed, 01 Jan 2025 00:00:00 GMT"},
    {"0.6 ms before midnight stays", moment(45657, 86400 - 0.0006),
     "Tue, 31 Dec 2024 23:59:59 GMT"},
    {"0.4 ms before a second rounds up to it", moment(45474, 6.9996),
     "Mon, 01 Jul 2024 00:00:07 GMT"},
    {"leap day", moment(45351, 12 * 3600), "Thu, 29 Feb 2024 12:00:00 GMT"},
    {"zero value", 0.0, "Sat, 30 Dec 1899 00:00:00 GMT"},
    {"before the zero date the fraction counts forward", -1.25, "Fri, 29 Dec 1899 06:00:00 GMT"},
    {"year without leading zeros", moment(-693593, 0), "Mon, 01 Jan 1 00:00:00 GMT"},
    {"not a number", std::numeric_limits<double>::quiet_NaN(), ""},
    {"infinite", std::numeric_limits<double>::infinity(), ""},
};

TEST(RssTimeString, FromDateTimeValue)
{
    for (const DoubleCase& c : kDoubleCases)
        EXPECT_EQ(GetRSSTimeString(c.value), QString::fromUtf8(c.expected)) << c.label;
}

TEST(RssTimeString, FromQDateTimeWritesItsFieldsAsGiven)
{
    const QDateTime berlin(QDate(2009, 2, 20), QTime(18, 48, 5, 883), QTimeZone("Europe/Berlin"));
    // No conversion: the local fields are written and labelled GMT.
    EXPECT_EQ(GetRSSTimeString(berlin), u"Fri, 20 Feb 2009 18:48:05 GMT");
    EXPECT_EQ(GetRSSTimeString(QDateTime()), QString());
}

TEST(RssTimeString, EnglishWhateverTheLocale)
{
    const QLocale saved;
    for (const QLocale& locale :
         {QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Arabic, QLocale::Egypt),
          QLocale(QLocale::French, QLocale::France)}) {
        QLocale::setDefault(locale);
        EXPECT_EQ(GetRSSTimeString(moment(39877, 8 * 3600 + 7 * 60 + 6)),
                  u"Thu, 05 Mar 2009 08:07:06 GMT")
            << locale.name().toStdString();
    }
    QLocale::setDefault(saved);
}

TEST(RssTimeString, DateTimeValueRoundTrips)
{
    const struct
    {
        QDate date;
        QTime time;
    } cases[] = {
        {QDate(2009, 3, 5), QTime(8, 7, 6)},
        {QDate(1899, 12, 30), QTime(0, 0)},
        {QDate(1899, 12, 29), QTime(6, 0)},
        {QDate(2024, 12, 31), QTime(23, 59, 59)},
    };
    for (const auto& c : cases) {
        const double value = DateTimeValue(c.date, c.time);
        EXPECT_EQ(GetRSSTimeString(value), GetRSSTimeString(QDateTime(c.date, c.time)))
            << c.date.toString(Qt::ISODate).toStdString();
    }
    EXPECT_DOUBLE_EQ(DateTimeValue(QDate(2009, 3, 5), QTime(12, 0)), 39877.5);
    EXPECT_DOUBLE_EQ(DateTimeValue(QDate(1899, 12, 29), QTime(6, 0)), -1.25);
}

TEST(LocalMomentToUtc, ConvertsFromTheGivenZone)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    const struct
    {
        const char* label;
        QTimeZone zone;
        QDate date;
        QTime time;
        QDateTime expectedUtc;
    } cases[] = {
        {"Berlin winter", berlin, QDate(2024, 1, 15), QTime(10, 0),
         QDateTime(QDate(2024, 1, 15), QTime(9, 0), QTimeZone::utc())},
        {"Berlin summer", berlin, QDate(2024, 7, 1), QTime(10, 0),
         QDateTime(QDate(2024, 7, 1), QTime(8, 0), QTimeZone::utc())},
        {"UTC unchanged", QTimeZone::utc(), QDate(2024, 7, 1), QTime(10, 0),
         QDateTime(QDate(2024, 7, 1), QTime(10, 0), QTimeZone::utc())},
        {"shortly after midnight goes back a day and a year", berlin, QDate(2024, 1, 1),
         QTime(0, 30), QDateTime(QDate(2023, 12, 31), QTime(23, 30), QTimeZone::utc())},
        {"hour skipped in spring counts in winter time", berlin, QDate(2024, 3, 31), QTime(2, 30),
         QDateTime(QDate(2024, 3, 31), QTime(1, 30), QTimeZone::utc())},
        {"invalid time of day counts as midnight", QTimeZone::utc(), QDate(2024, 7, 1), QTime(),
         QDateTime(QDate(2024, 7, 1), QTime(0, 0), QTimeZone::utc())},
    };
    for (const auto& c : cases) {
        const QDateTime utc = LocalMomentToUtc(c.date, c.time, c.zone);
        EXPECT_EQ(utc, c.expectedUtc) << c.label << ": " << utc.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(utc.timeSpec(), Qt::UTC) << c.label;
    }
}

} // namespace
