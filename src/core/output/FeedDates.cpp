#include "FeedDates.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace FeedDates {
namespace {

// Offsets in minutes. The single military letters of RFC 822 were defined
// with the wrong sign and are read as UTC, as RFC 2822 advises.
struct NamedZone
{
    const char* name;
    int minutes;
};
constexpr NamedZone kZones[] = {
    {"UT", 0},      {"UTC", 0},     {"GMT", 0},    {"Z", 0},      {"EST", -300}, {"EDT", -240},
    {"CST", -360},  {"CDT", -300},  {"MST", -420}, {"MDT", -360}, {"PST", -480}, {"PDT", -420},
    {"AKST", -540}, {"AKDT", -480}, {"HST", -600}, {"CET", 60},   {"CEST", 120}, {"MET", 60},
    {"MEST", 120},  {"MEZ", 60},    {"MESZ", 120}, {"WET", 0},    {"WEST", 60},  {"BST", 60},
    {"EET", 120},   {"EEST", 180},  {"JST", 540},  {"AEST", 600}, {"AEDT", 660},
};

std::optional<int> zoneMinutes(const QString& zone)
{
    if (zone.isEmpty())
        return 0;
    static const QRegularExpression numeric(
        QStringLiteral("^(?:GMT|UTC)?([+-])(\\d{1,2}):?(\\d{2})?$"));
    const QRegularExpressionMatch m = numeric.match(zone);
    if (m.hasMatch()) {
        const QString hh = m.captured(2);
        int hours = hh.toInt();
        int minutes = m.captured(3).toInt();
        if (m.captured(3).isEmpty() && hh.size() > 2)
            return std::nullopt;
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        const int total = hours * 60 + minutes;
        return m.captured(1) == u"-" ? -total : total;
    }
    // "+0200" arrives as one group of four digits.
    static const QRegularExpression fourDigits(QStringLiteral("^([+-])(\\d{2})(\\d{2})$"));
    const QRegularExpressionMatch f = fourDigits.match(zone);
    if (f.hasMatch()) {
        const int total = f.captured(2).toInt() * 60 + f.captured(3).toInt();
        return f.captured(1) == u"-" ? -total : total;
    }
    const QString upper = zone.toUpper();
    for (const NamedZone& z : kZones)
        if (upper == QLatin1String(z.name))
            return z.minutes;
    if (upper.size() == 1 && upper.at(0).isLetter() && upper != u"J")
        return 0;
    return std::nullopt;
}

int monthNumber(QStringView name)
{
    static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() < 3)
        return 0;
    const QStringView start = name.first(3);
    for (int i = 0; i < 12; ++i)
        if (start.compare(QLatin1StringView(kMonths[i], 3), Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

QDateTime atOffset(QDate date, QTime time, int offsetMinutes)
{
    if (!date.isValid() || !time.isValid())
        return {};
    QDateTime moment(date, time, Qt::UTC);
    return moment.addSecs(-qint64(offsetMinutes) * 60);
}

} // namespace

// "Mon, 01 Jan 2024 08:00:00 +0100" or "... GMT", as most feeds write it,
// read without a regular expression: a large feed has thousands of them.
static std::optional<QDateTime> parseCanonical(QStringView t)
{
    if ((t.size() != 29 && t.size() != 31) || t[3] != u',' || t[4] != u' ' || t[7] != u' ' ||
        t[11] != u' ' || t[16] != u' ' || t[19] != u':' || t[22] != u':' || t[25] != u' ')
        return std::nullopt;
    // ASCII digits only; anything else is left to the general form below.
    const auto number = [&](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = t[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int day = number(5, 2), year = number(12, 4), hour = number(17, 2),
              minute = number(20, 2), second = number(23, 2);
    const int month = monthNumber(t.mid(8, 3));
    int offset = 0;
    if (t.size() == 29) {
        if (t.mid(26) != u"GMT" && t.mid(26) != u"UTC")
            return std::nullopt;
    } else {
        const int hh = number(27, 2), mm = number(29, 2);
        if ((t[26] != u'+' && t[26] != u'-') || hh < 0 || mm < 0 || hh > 23 || mm > 59)
            return std::nullopt;
        offset = (hh * 60 + mm) * (t[26] == u'-' ? -1 : 1);
    }
    if (day < 0 || year < 0 || hour < 0 || minute < 0 || second < 0 || month == 0)
        return std::nullopt;
    const QDateTime moment = atOffset(QDate(year, month, day), QTime(hour, minute, second), offset);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

std::optional<QDateTime> parseRfc822(QStringView input)
{
    if (auto moment = parseCanonical(input))
        return moment;
    // [day name,] d month y [h:m[:s]] [zone] [(comment)]
    static const QRegularExpression form(QStringLiteral(
        "^\\s*(?:[A-Za-z]+\\.?,?\\s*)?(\\d{1,2})[\\s-]+([A-Za-z]{3,})\\.?[\\s-]+(\\d{2,4})"
        "(?:\\s+(\\d{1,2}):(\\d{2})(?::(\\d{2}))?(?:\\.\\d+)?)?"
        "\\s*([A-Za-z]{1,5}|(?:GMT|UTC)?[+-]\\d{1,2}:?\\d{0,2})?\\s*(?:\\(.*\\))?\\s*$"));
    const QRegularExpressionMatch m = form.match(input);
    if (!m.hasMatch())
        return std::nullopt;
    const int day = m.captured(1).toInt();
    const int month = monthNumber(m.captured(2));
    int year = m.captured(3).toInt();
    if (month == 0 || m.captured(3).size() == 3)
        return std::nullopt;
    if (m.captured(3).size() == 2)
        year += year < 50 ? 2000 : 1900;
    const int hour = m.captured(4).toInt();
    const int minute = m.captured(5).toInt();
    int second = m.captured(6).toInt();
    if (second == 60) // a leap second, as a reader of feeds would round it
        second = 59;
    const std::optional<int> zone = zoneMinutes(m.captured(7));
    if (!zone)
        return std::nullopt;
    const QDateTime moment = atOffset(QDate(year, month, day), QTime(hour, minute, second), *zone);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

std::optional<QDateTime> parseRfc3339(QStringView input)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{4})(?:-(\\d{2})(?:-(\\d{2})"
                       "(?:[Tt "
                       "](\\d{2}):(\\d{2})(?::(\\d{2})(?:[.,]\\d+)?)?\\s*([Zz]|[+-]\\d{2}:?\\d{2}|["
                       "+-]\\d{2})?)?)?)?\\s*$"));
    const QRegularExpressionMatch m = form.match(input);
    if (!m.hasMatch())
        return std::nullopt;
    const int year = m.captured(1).toInt();
    const int month = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
    const int day = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    int second = m.captured(6).toInt();
    if (second == 60)
        second = 59;
    int offset = 0;
    const QString zone = m.captured(7);
    if (!zone.isEmpty() && zone != u"Z" && zone != u"z") {
        const int hours = zone.mid(1, 2).toInt();
        const QString rest = zone.mid(3).remove(u':');
        const int minutes = rest.toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        offset = (hours * 60 + minutes) * (zone.startsWith(u'-') ? -1 : 1);
    }
    const QDateTime moment =
        atOffset(QDate(year, month, day),
                 QTime(m.captured(4).toInt(), m.captured(5).toInt(), second), offset);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

std::optional<QDateTime> parse(QStringView text)
{
    if (auto moment = parseRfc822(text))
        return moment;
    return parseRfc3339(text);
}

} // namespace FeedDates
