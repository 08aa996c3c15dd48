#include "RssTime.h"

#include <cmath>

namespace {

constexpr qint64 kMsPerDay = 86'400'000;
const QDate kZeroDate(1899, 12, 30);

QString twoDigits(int n)
{
    return QString::number(n).rightJustified(2, u'0');
}

QString format(QDate date, QTime time)
{
    // Fixed English names: QLocale would follow the user's language.
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return QLatin1String(kDays[date.dayOfWeek() - 1]) + QLatin1String(", ") +
           twoDigits(date.day()) + u' ' + QLatin1String(kMonths[date.month() - 1]) + u' ' +
           QString::number(date.year()) + u' ' + twoDigits(time.hour()) + u':' +
           twoDigits(time.minute()) + u':' + twoDigits(time.second()) + QLatin1String(" GMT");
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
