#include "RegionalSettings.h"

#include <QList>
#include <QRegularExpression>

namespace {

RegionalSettings& currentSettings()
{
    static RegionalSettings settings = RegionalSettings::fromLocale(QLocale::system());
    return settings;
}

// Digits appended by hand: the lists and the project file format a date and
// a time per entry, and QString::arg per field dominated that.
void appendDigits(QString& out, int value, int width)
{
    char digits[12];
    int n = 0;
    unsigned v = unsigned(value < 0 ? -value : value);
    do {
        digits[n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0)
        out += u'-';
    for (int pad = n; pad < width; ++pad)
        out += u'0';
    while (n > 0)
        out += QLatin1Char(digits[--n]);
}

// A two-digit year lies within the 50 years around today.
int expandYear(int year, int digits)
{
    if (digits > 2)
        return year;
    const int thisYear = QDate::currentDate().year();
    int full = (thisYear / 100) * 100 + year;
    if (full > thisYear + 50)
        full -= 100;
    else if (full <= thisYear - 50)
        full += 100;
    return full;
}

std::optional<QDate> dateFromParts(QStringView text, QStringView separator,
                                   RegionalSettings::DateOrder order)
{
    if (separator.isEmpty())
        return std::nullopt;
    const QList<QStringView> parts = text.trimmed().split(separator);
    if (parts.size() != 3)
        return std::nullopt;
    int values[3];
    for (int i = 0; i < 3; ++i) {
        const QStringView part = parts[i].trimmed();
        bool ok = false;
        values[i] = part.toInt(&ok);
        if (!ok || part.isEmpty() || part.size() > 4 || !part.front().isDigit())
            return std::nullopt;
    }
    int day, month, yearIndex;
    switch (order) {
    case RegionalSettings::DateOrder::DayMonthYear:
        day = values[0], month = values[1], yearIndex = 2;
        break;
    case RegionalSettings::DateOrder::MonthDayYear:
        month = values[0], day = values[1], yearIndex = 2;
        break;
    default:
        yearIndex = 0, month = values[1], day = values[2];
        break;
    }
    const int year = expandYear(values[yearIndex], int(parts[yearIndex].trimmed().size()));
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

// Digits at the given places of a text of exactly that layout, e.g. "dd.dd.dddd".
bool digitsAt(QStringView text, QStringView layout)
{
    if (text.size() != layout.size())
        return false;
    for (qsizetype i = 0; i < layout.size(); ++i) {
        if (layout[i] == u'd' ? !text[i].isDigit() : text[i] != layout[i])
            return false;
    }
    return true;
}

int number(QStringView digits)
{
    int value = 0;
    for (const QChar c : digits)
        value = value * 10 + c.digitValue();
    return value;
}

} // namespace

RegionalSettings RegionalSettings::fromLocale(const QLocale& locale)
{
    RegionalSettings s;
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    // A pattern with month names gives no numeric form to follow.
    if (!date.contains(QStringLiteral("MMM"))) {
        const qsizetype d = date.indexOf(u'd'), m = date.indexOf(u'M'), y = date.indexOf(u'y');
        if (d >= 0 && m >= 0 && y >= 0) {
            if (y < m && y < d)
                s.dateOrder = DateOrder::YearMonthDay;
            else if (m < d)
                s.dateOrder = DateOrder::MonthDayYear;
            else
                s.dateOrder = DateOrder::DayMonthYear;
            s.dayLeadingZero = date.contains(QStringLiteral("dd"));
            s.monthLeadingZero = date.contains(QStringLiteral("MM"));
            for (const QChar c : date) {
                if (!c.isLetter()) {
                    s.dateSeparator = QString(c);
                    break;
                }
            }
        }
    }

    const QString time = locale.timeFormat(QLocale::LongFormat);
    const qsizetype h = time.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (h >= 0) {
        s.hourLeadingZero = time.mid(h, 2).compare(QStringLiteral("hh"), Qt::CaseInsensitive) == 0;
        qsizetype afterHour = h;
        while (afterHour < time.size() && time[afterHour].toLower() == u'h')
            ++afterHour;
        if (afterHour < time.size() && !time[afterHour].isLetter())
            s.timeSeparator = QString(time[afterHour]);
        const qsizetype ap = time.indexOf(QStringLiteral("ap"), 0, Qt::CaseInsensitive);
        const qsizetype a = ap >= 0 ? ap : time.indexOf(u'A', 0, Qt::CaseInsensitive);
        s.twelveHour = a >= 0;
        s.amPmFirst = a >= 0 && a < h;
        if (s.twelveHour) {
            s.amText = locale.amText();
            s.pmText = locale.pmText();
        }
    }
    return s;
}

const RegionalSettings& RegionalSettings::current()
{
    return currentSettings();
}

void RegionalSettings::setCurrent(const RegionalSettings& settings)
{
    currentSettings() = settings;
}

void RegionalSettings::resetToSystem()
{
    currentSettings() = fromLocale(QLocale::system());
}

QString RegionalSettings::formatDate(QDate date) const
{
    struct Part
    {
        int value;
        int width;
    };
    const Part day{date.day(), dayLeadingZero ? 2 : 1};
    const Part month{date.month(), monthLeadingZero ? 2 : 1};
    const Part year{date.year(), 4};
    Part parts[3] = {day, month, year};
    if (dateOrder == DateOrder::MonthDayYear)
        parts[0] = month, parts[1] = day;
    else if (dateOrder == DateOrder::YearMonthDay)
        parts[0] = year, parts[2] = day;
    QString text;
    text.reserve(10 + 2 * dateSeparator.size());
    appendDigits(text, parts[0].value, parts[0].width);
    text += dateSeparator;
    appendDigits(text, parts[1].value, parts[1].width);
    text += dateSeparator;
    appendDigits(text, parts[2].value, parts[2].width);
    return text;
}

std::optional<QDate> RegionalSettings::parseDate(QStringView text) const
{
    // What files hold most of the time, read without splitting: large
    // projects have thousands of dates. Only where the settings could not
    // read the same text another way.
    const bool dotsMeanDayFirst = dateSeparator != u"." || dateOrder == DateOrder::DayMonthYear;
    if (dotsMeanDayFirst && digitsAt(text, u"dd.dd.dddd")) {
        const QDate date(number(text.mid(6, 4)), number(text.mid(3, 2)), number(text.mid(0, 2)));
        if (date.isValid())
            return date;
        return std::nullopt;
    }
    if (auto date = dateFromParts(text, dateSeparator, dateOrder))
        return date;
    if (auto date = dateFromParts(text, u".", DateOrder::DayMonthYear))
        return date;
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() == 10 && trimmed[4] == u'-' && trimmed[7] == u'-')
        return dateFromParts(trimmed, u"-", DateOrder::YearMonthDay);
    return std::nullopt;
}

QString RegionalSettings::formatTime(QTime time) const
{
    int hour = time.hour();
    if (twelveHour) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    QString clock;
    clock.reserve(8 + 2 * timeSeparator.size());
    appendDigits(clock, hour, hourLeadingZero ? 2 : 1);
    clock += timeSeparator;
    appendDigits(clock, time.minute(), 2);
    clock += timeSeparator;
    appendDigits(clock, time.second(), 2);
    if (!twelveHour)
        return clock;
    const QString& marker = time.hour() < 12 ? amText : pmText;
    return amPmFirst ? marker + u' ' + clock : clock + u' ' + marker;
}

std::optional<QTime> RegionalSettings::parseTime(QStringView text) const
{
    if (digitsAt(text, u"dd:dd:dd")) {
        const QTime time(number(text.mid(0, 2)), number(text.mid(3, 2)), number(text.mid(6, 2)));
        if (time.isValid())
            return time;
        return std::nullopt;
    }
    QString rest = text.trimmed().toString();
    if (rest.isEmpty())
        return std::nullopt;

    int marker = 0; // 1 = AM, 2 = PM
    const QString markers[] = {amText, pmText, QStringLiteral("AM"), QStringLiteral("PM")};
    for (int i = 0; i < 4 && marker == 0; ++i) {
        const QString& m = markers[i];
        if (m.isEmpty())
            continue;
        if (rest.startsWith(m, Qt::CaseInsensitive)) {
            rest = rest.mid(m.size()).trimmed();
            marker = i % 2 + 1;
        } else if (rest.endsWith(m, Qt::CaseInsensitive)) {
            rest.chop(m.size());
            rest = rest.trimmed();
            marker = i % 2 + 1;
        }
    }

    QList<QStringView> parts = QStringView(rest).split(timeSeparator);
    if (parts.size() < 2 && timeSeparator != u":")
        parts = QStringView(rest).split(u':');
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QStringView part = parts[i].trimmed();
        bool ok = false;
        values[i] = part.toInt(&ok);
        if (!ok || part.isEmpty() || !part.front().isDigit())
            return std::nullopt;
    }
    int hour = values[0];
    if (marker != 0) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour %= 12;
        if (marker == 2)
            hour += 12;
    }
    const QTime time(hour, values[1], values[2]);
    if (!time.isValid())
        return std::nullopt;
    return time;
}
