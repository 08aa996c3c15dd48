#include "RssTime.h"

#include <cmath>

namespace {

constexpr qint64 kMsPerDay = 86'400'000;
const QDate kZeroDate(1899, 12, 30);

char* twoDigits(char* p, int n)
{
    *p++ = char('0' + n / 10);
    *p++ = char('0' + n % 10);
    return p;
}

QString format(QDate date, QTime time)
{
    // Fixed English names: QLocale would follow the user's language.
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Written into one buffer: every item of a large feed has a date.
    char text[64];
    char* p = text;
    const auto put = [&p](const char* s) {
        while (*s)
            *p++ = *s++;
    };
    put(kDays[date.dayOfWeek() - 1]);
    put(", ");
    p = twoDigits(p, date.day());
    *p++ = ' ';
    put(kMonths[date.month() - 1]);
    *p++ = ' ';
    put(QByteArray::number(date.year()).constData());
    *p++ = ' ';
    p = twoDigits(p, time.hour());
    *p++ = ':';
    p = twoDigits(p, time.minute());
    *p++ = ':';
    p = twoDigits(p, time.second());
    put(" GMT");
    return QString::fromLatin1(text, p - text);
}

} // namespace

QString GetRSSTimeString(double moment)
{
    // Far beyond any calendar date QDate can hold; also keeps the casts defined.
    if (!std::isfinite(moment) || std::fabs(moment) > 1e9)
        return {};
    const double wholeDays = std::trunc(moment);
    qint64 ms = std::llround(std::fabs(moment - wholeDays) * double(kMsPerDay));
    qint64 days = qint64(wholeDays);
    if (ms >= kMsPerDay) { // less than half a millisecond before midnight
        ms -= kMsPerDay;
        ++days;
    }
    const QDate date = kZeroDate.addDays(days);
    if (!date.isValid())
        return {};
    return format(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QString GetRSSTimeString(const QDateTime& moment)
{
    if (!moment.isValid())
        return {};
    return format(moment.date(), moment.time());
}

double DateTimeValue(QDate date, QTime time)
{
    const double days = double(kZeroDate.daysTo(date));
    const double fraction = double(time.isValid() ? time.msecsSinceStartOfDay() : 0) / kMsPerDay;
    // Before the zero date the fraction still counts forward (see header).
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime LocalMomentToUtc(QDate date, QTime time, const QTimeZone& localZone)
{
    const QTime timeOfDay = time.isValid() ? time : QTime(0, 0);
    const QDateTime local(date, timeOfDay, localZone);
    if (local.isValid() && local.time() == timeOfDay && local.date() == date)
        return local.toUTC();
    // Skipped by a clock change: apply the offset in force the day before.
    const QDateTime asUtc(date, timeOfDay, Qt::UTC);
    const int offset = localZone.offsetFromUtc(asUtc.addDays(-1));
    return asUtc.addSecs(-offset);
}
