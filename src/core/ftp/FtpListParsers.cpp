#include "FtpListParsers.h"

#include "FtpListParsers_p.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <QtNumeric>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace FtpListParsers {
namespace detail {

QList<Token> tokenize(QStringView line)
{
    QList<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && line[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < n && !line[i].isSpace())
            ++i;
        if (i > start)
            tokens.append({line.sliced(start, i - start), i});
    }
    return tokens;
}

// The twelve names as "jan" packed into one number each.
static constexpr std::uint32_t packedMonth(const char (&name)[4])
{
    return std::uint32_t(name[0]) << 16 | std::uint32_t(name[1]) << 8 | std::uint32_t(name[2]);
}

static constexpr std::uint32_t kMonthKeys[] = {
    packedMonth("jan"), packedMonth("feb"), packedMonth("mar"), packedMonth("apr"),
    packedMonth("may"), packedMonth("jun"), packedMonth("jul"), packedMonth("aug"),
    packedMonth("sep"), packedMonth("oct"), packedMonth("nov"), packedMonth("dec")};

int monthFromName(QStringView name)
{
    if (name.size() != 3)
        return 0;
    const char16_t a = name[0].unicode(), b = name[1].unicode(), c = name[2].unicode();
    if ((a | b | c) >= 0x80) {
        // Case folding maps a few letters outside ASCII onto ASCII ones (the
        // long s onto "s"), so those go the slow way.
        static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                            "jul", "aug", "sep", "oct", "nov", "dec"};
        for (int m = 0; m < 12; ++m) {
            if (name.compare(QLatin1StringView(names[m]), Qt::CaseInsensitive) == 0)
                return m + 1;
        }
        return 0;
    }
    const auto lower = [](char16_t ch) {
        return std::uint32_t(ch >= u'A' && ch <= u'Z' ? ch + (u'a' - u'A') : ch);
    };
    const std::uint32_t key = lower(a) << 16 | lower(b) << 8 | lower(c);
    for (int m = 0; m < 12; ++m) {
        if (kMonthKeys[m] == key)
            return m + 1;
    }
    return 0;
}

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

std::optional<qint64> digitsValue(QStringView digits)
{
    qint64 value = 0;
    for (QChar c : digits) {
        if (qMulOverflow(value, qint64(10), &value) ||
            qAddOverflow(value, qint64(c.unicode() - u'0'), &value))
            return std::nullopt;
    }
    return value;
}

int fullYear(int year)
{
    if (year < 70)
        return 2000 + year;
    if (year < 1000)
        return 1900 + year;
    return year;
}

// The offset, unless it is none a real zone can have.
static std::optional<int> usableOffset(std::optional<int> offset)
{
    constexpr int limit = FtpListParsers::kMaxServerUtcOffsetMinutes;
    if (offset && *offset >= -limit && *offset <= limit)
        return offset;
    return std::nullopt;
}

static constexpr qint64 kMsecsPerDay = 24 * 60 * 60 * 1000;

// Milliseconds from 1970 to a wall-clock date and time, as if it were UTC.
static qint64 wallMsecs(QDate date, QTime time)
{
    return (date.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * kMsecsPerDay +
           time.msecsSinceStartOfDay();
}

LineContext::LineContext(const ListParseContext& context)
    : ListParseContext(context), usableOffsetMinutes(usableOffset(serverUtcOffsetMinutes))
{
    // Yearless dates are compared as wall-clock times on the server's clock.
    QDateTime wall = now.toTimeZone(localZone);
    if (usableOffsetMinutes)
        wall = now.toUTC().addSecs(qint64(*usableOffsetMinutes) * 60);
    latestDate = wall.date().addDays(1);
    latestYear = latestDate.year();
    latestMsecs = wall.time().msecsSinceStartOfDay();
}

// Zone offsets lie within about a day of UTC, so two instants with the same
// wall-clock time are at most about two days apart: a time this far from any
// transition has exactly one.
static constexpr qint64 kTransitionMargin = 3 * kMsecsPerDay;
// Listings spanning decades of daylight saving time fall back to QDateTime
// beyond this many spans rather than search a long list per line.
static constexpr qsizetype kMaxOffsetSpans = 32;

std::optional<qint64> LineContext::utcOfWallTime(qint64 wall) const
{
    for (const OffsetSpan& span : m_spans) {
        const qint64 utc = wall - span.offsetMsecs;
        if (utc >= span.from && utc < span.to)
            return utc;
    }
    // QDateTime gives times before 1970 the zone's standard offset; they and
    // times near a transition are left to it, without a span.
    constexpr qint64 kMaxZoneOffset = kMsecsPerDay;
    if (m_spans.size() >= kMaxOffsetSpans || !localZone.isValid() ||
        wall < kTransitionMargin + kMaxZoneOffset)
        return std::nullopt;
    const auto utcAt = [](qint64 msecs) { return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC); };
    // An instant near the one sought; its span is the candidate.
    const QDateTime near = utcAt(wall - qint64(localZone.offsetFromUtc(utcAt(wall))) * 1000);
    const int offset = localZone.offsetFromUtc(near);
    const QTimeZone::OffsetData before = localZone.previousTransition(near);
    if (before.atUtc.isValid() && before.offsetFromUtc != offset)
        return std::nullopt; // `near` is a transition itself
    const QTimeZone::OffsetData after = localZone.nextTransition(near);
    OffsetSpan span{kTransitionMargin, std::numeric_limits<qint64>::max(), qint64(offset) * 1000};
    if (before.atUtc.isValid())
        span.from = std::max(span.from, before.atUtc.toMSecsSinceEpoch() + kTransitionMargin);
    if (after.atUtc.isValid())
        span.to = after.atUtc.toMSecsSinceEpoch() - kTransitionMargin;
    const qint64 utc = wall - span.offsetMsecs;
    if (utc < span.from || utc >= span.to)
        return std::nullopt;
    m_spans.append(span);
    return utc;
}

QDateTime serverTime(QDate date, QTime time, const LineContext& context)
{
    if (!date.isValid())
        return {};
    if (const auto offset = context.usableOffsetMinutes) {
        if (!time.isValid()) // QDateTime takes it as midnight
            time = QTime(0, 0);
        return QDateTime::fromMSecsSinceEpoch(wallMsecs(date, time) - qint64(*offset) * 60 * 1000,
                                              context.localZone);
    }
    if (time.isValid()) {
        if (const auto utc = context.utcOfWallTime(wallMsecs(date, time)))
            return QDateTime::fromMSecsSinceEpoch(*utc, context.localZone);
    }
    return QDateTime(date, time, context.localZone);
}

QDateTime utcTime(const QDateTime& utc, const LineContext& context)
{
    return utc.isValid() ? utc.toTimeZone(context.localZone) : QDateTime();
}

QDateTime yearlessTime(int month, int day, QTime time, const LineContext& context)
{
    const int year = context.latestYear;
    const int msecs = time.isValid() ? time.msecsSinceStartOfDay() : 0;
    QDate date(year, month, day);
    if (!date.isValid() || date > context.latestDate ||
        (date == context.latestDate && msecs > context.latestMsecs))
        date = QDate(year - 1, month, day);
    return serverTime(date, time, context);
}

QTime parseClock(QStringView text)
{
    // "H:M", "HH:MM:SS": two or three fields of one or two digits.
    int fields[3] = {0, 0, 0};
    int count = 0;
    int digits = 0;
    for (QChar c : text) {
        if (c == u':') {
            if (digits == 0 || count == 2)
                return {};
            ++count;
            digits = 0;
        } else if (c >= u'0' && c <= u'9' && digits < 2) {
            fields[count] = fields[count] * 10 + (c.unicode() - u'0');
            ++digits;
        } else {
            return {};
        }
    }
    if (digits == 0 || count == 0)
        return {};
    return QTime(fields[0], fields[1], fields[2]);
}

// RFC 3659 facts: "fact=value;...; name". Fact names are case-insensitive;
// the name follows the single blank after the last ";" and may itself hold
// blanks and semicolons, so only the first blank splits.
LineResult parseMlstLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    const qsizetype blank = line.indexOf(u' ');
    if (blank <= 0 || line[blank - 1] != u';')
        return LineResult::NoMatch;
    const QStringView name = line.sliced(blank + 1);
    bool sawType = false;
    item = {};
    for (QStringView fact : line.first(blank).split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = fact.indexOf(u'=');
        if (eq <= 0)
            return LineResult::NoMatch;
        const QStringView key = fact.first(eq);
        const QStringView value = fact.sliced(eq + 1);
        if (key.compare(u"type", Qt::CaseInsensitive) == 0) {
            sawType = true;
            if (value.compare(u"cdir", Qt::CaseInsensitive) == 0 ||
                value.compare(u"pdir", Qt::CaseInsensitive) == 0)
                return LineResult::Skip;
            if (value.compare(u"dir", Qt::CaseInsensitive) == 0)
                item.ItemType = ditDirectory;
            else if (value.startsWith(u"OS.unix=slink", Qt::CaseInsensitive) ||
                     value.compare(u"OS.unix=symlink", Qt::CaseInsensitive) == 0)
                item.ItemType = ditSymbolicLink;
            else
                item.ItemType = ditFile;
        } else if (key.compare(u"size", Qt::CaseInsensitive) == 0 ||
                   key.compare(u"sizd", Qt::CaseInsensitive) == 0) {
            item.Size = value.toLongLong();
        } else if (key.compare(u"modify", Qt::CaseInsensitive) == 0) {
            // YYYYMMDDHHMMSS[.sss], always UTC.
            if (value.size() >= 14 && allDigits(value.first(14))) {
                auto n = [&](qsizetype at, qsizetype len) { return value.sliced(at, len).toInt(); };
                item.ModifiedDate = utcTime(QDateTime(QDate(n(0, 4), n(4, 2), n(6, 2)),
                                                      QTime(n(8, 2), n(10, 2), n(12, 2)), Qt::UTC),
                                            context);
            }
        }
    }
    if (!sawType || name.isEmpty())
        return LineResult::NoMatch;
    item.FileName = name.toString();
    return LineResult::Entry;
}

// Windows / IIS "MS-DOS" style: "01-16-24  06:53PM  <DIR>  name". Month and
// day order is the server's choice; IIS always writes month first. Years may
// have two or four digits, times 12- or 24-hour. The name is padded from the
// size column by several blanks, so leading blanks of a name are lost.
LineResult parseDosLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    const QList<Token> t = tokenize(line);
    if (t.size() < 4)
        return LineResult::NoMatch;
    const auto d = t[0].text.split(u'-');
    if (d.size() != 3 || !allDigits(d[0]) || !allDigits(d[1]) || !allDigits(d[2]))
        return LineResult::NoMatch;
    QDate date;
    if (d[0].size() == 4)
        date = QDate(d[0].toInt(), d[1].toInt(), d[2].toInt());
    else
        date = QDate(fullYear(d[2].toInt()), d[0].toInt(), d[1].toInt());
    QStringView clock = t[1].text;
    qsizetype next = 2;
    bool pm = false, am = false;
    if (clock.endsWith(u"PM", Qt::CaseInsensitive) || clock.endsWith(u"AM", Qt::CaseInsensitive)) {
        pm = clock.endsWith(u"PM", Qt::CaseInsensitive);
        am = !pm;
        clock.chop(2);
    } else if (t[2].text.compare(u"PM", Qt::CaseInsensitive) == 0 ||
               t[2].text.compare(u"AM", Qt::CaseInsensitive) == 0) {
        pm = t[2].text.compare(u"PM", Qt::CaseInsensitive) == 0;
        am = !pm;
        next = 3;
    }
    QTime time = parseClock(clock);
    if (!date.isValid() || !time.isValid() || next + 1 >= t.size())
        return LineResult::NoMatch;
    if ((am || pm) && time.hour() >= 1 && time.hour() <= 12) {
        const int hour = time.hour() % 12 + (pm ? 12 : 0);
        time = QTime(hour, time.minute(), time.second());
    }
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    const QStringView sizeText = t[next].text;
    if (sizeText.compare(u"<DIR>", Qt::CaseInsensitive) == 0) {
        item.ItemType = ditDirectory;
    } else {
        QString digits = sizeText.toString();
        digits.remove(u',').remove(u'.');
        if (!allDigits(digits))
            return LineResult::NoMatch;
        item.Size = digits.toLongLong();
    }
    QStringView name = line.sliced(t[next].end).trimmed();
    if (name.isEmpty())
        return LineResult::NoMatch;
    if (name == u"." || name == u"..")
        return LineResult::Skip;
    item.FileName = name.toString();
    return LineResult::Entry;
}

// EPLF (Bernstein): "+facts,\tname". Facts are comma-separated, each one
// letter plus value; "/" marks a folder, "r" a file, "s" the size, "m" the
// UTC time in seconds since 1970. Unknown facts are ignored by design.
LineResult parseEplfLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (!line.startsWith(u'+'))
        return LineResult::NoMatch;
    const qsizetype tab = line.indexOf(u'\t');
    if (tab < 0 || tab + 1 >= line.size())
        return LineResult::NoMatch;
    item = {};
    bool typed = false;
    for (QStringView fact : line.sliced(1, tab - 1).split(u',', Qt::SkipEmptyParts)) {
        switch (fact[0].unicode()) {
        case '/':
            item.ItemType = ditDirectory;
            typed = true;
            break;
        case 'r':
            item.ItemType = ditFile;
            typed = true;
            break;
        case 's':
            item.Size = fact.sliced(1).toLongLong();
            break;
        case 'm':
            item.ModifiedDate = utcTime(
                QDateTime::fromSecsSinceEpoch(fact.sliced(1).toLongLong(), Qt::UTC), context);
            break;
        default:
            break;
        }
    }
    if (!typed)
        return LineResult::NoMatch;
    item.FileName = line.sliced(tab + 1).toString();
    return LineResult::Entry;
}

// Bare names (NLST, or servers that answer LIST with names only). Anything
// can be a name, so this family comes last and refuses lines that look like
// columns (runs of blanks, tabs, control characters, leading blanks).
LineResult parseBareNameLine(QStringView line, const LineContext&, TIdFTPListItem& item)
{
    if (line.isEmpty() || line[0].isSpace() || line.back().isSpace() || line.contains(u"  "))
        return LineResult::NoMatch;
    for (QChar c : line) {
        if (c.category() == QChar::Other_Control)
            return LineResult::NoMatch;
    }
    // An empty Unix folder lists only its "total 0".
    if (line == u"." || line == u".." || (line.startsWith(u"total ") && allDigits(line.sliced(6))))
        return LineResult::Skip;
    item = {};
    item.FileName = line.toString();
    return LineResult::Entry;
}

struct Family
{
    const char* name;
    LineParser parse;
    QStringList (*prepare)(const QStringList&) = nullptr;
    bool tolerant = true; // a few stray lines (errors, banners) do not refuse the listing
};

// Order matters where formats overlap: the strict, self-marking formats
// first, the bare names last.
static const Family families[] = {
    {"MLST", parseMlstLine},
    {"EPLF", parseEplfLine},
    {"Distinct TCP/IP", parseDistinctLine},
    {"Unix", parseUnixLine},
    {"Novell Netware", parseNetwareLine},
    {"Windows NT", parseDosLine},
    {"OS/2", parseOs2Line},
    {"VMS", parseVmsLine, joinVmsLines},
    {"AS400", parseAs400Line},
    {"MVS", parseMvsLine},
    {"MVS Partitioned Data Set", parseMvsPdsLine},
    {"Cisco IOS", parseCiscoLine},
    {"VM/CMS", parseVmCmsLine},
    {"Stratus VOS", parseVosLine},
    {"VxWorks", parseVxWorksLine},
    {"OS-9", parseOs9Line},
    {"Tandem", parseTandemLine},
    {"MPE/iX", parseMpeLine},
    {"SuperTCP", parseSuperTcpLine},
    {"PC-NFSD", parsePcNfsdLine},
    {"KA9Q", parseKa9qLine},
    {"TOPS20", parseTops20Line},
    {"NLST", parseBareNameLine, nullptr, false},
};

static std::optional<TIdFTPListItems> tryFamily(const Family& family, const QStringList& input,
                                                const LineContext& context)
{
    const QStringList lines = family.prepare ? family.prepare(input) : input;
    TIdFTPListItems items;
    qsizetype misses = 0;
    qsizetype left = lines.size();
    for (const QString& line : lines) {
        --left;
        TIdFTPListItem item;
        switch (family.parse(line, context, item)) {
        case LineResult::Entry:
            items.append(std::move(item));
            break;
        case LineResult::Skip:
            break;
        case LineResult::NoMatch:
            ++misses;
            // Give up once the lines left cannot outweigh the misses: a long
            // listing of another family then costs the earlier families
            // only half of its lines.
            if (misses >= items.size() + left || !family.tolerant)
                return std::nullopt;
            break;
        }
    }
    if (items.isEmpty() || misses >= items.size() || (!family.tolerant && misses > 0))
        return std::nullopt;
    return items;
}

} // namespace detail

QStringList splitLines(const QByteArray& data, bool utf8)
{
    const QString text = utf8 ? QString::fromUtf8(data) : QString::fromLatin1(data);
    QStringList lines;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty())
            lines.append(line.toString());
    }
    return lines;
}

TIdFTPListItems parseMlsd(const QStringList& lines, const ListParseContext& listContext)
{
    const detail::LineContext context(listContext);
    TIdFTPListItems items;
    for (const QString& line : lines) {
        TIdFTPListItem item;
        if (detail::parseMlstLine(line, context, item) == detail::LineResult::Entry)
            items.append(std::move(item));
    }
    return items;
}

TIdFTPListItems parseList(const QStringList& lines, const ListParseContext& listContext,
                          QString* familyName)
{
    const detail::LineContext context(listContext);
    for (const auto& family : detail::families) {
        if (auto items = detail::tryFamily(family, lines, context)) {
            if (familyName)
                *familyName = QString::fromLatin1(family.name);
            return *items;
        }
    }
    if (familyName)
        familyName->clear();
    return {};
}

QStringList familyNames()
{
    QStringList names;
    for (const auto& family : detail::families)
        names.append(QString::fromLatin1(family.name));
    return names;
}

std::optional<int> parseSiteZoneReply(const FtpReply& reply)
{
    static const QRegularExpression re(QStringLiteral(R"(UTC\s*([+-]?\d+))"));
    const auto m = re.match(reply.lines.value(0));
    if (reply.code != 210 || !m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const int minutes = m.captured(1).toInt(&ok);
    if (!ok || minutes < -kMaxServerUtcOffsetMinutes || minutes > kMaxServerUtcOffsetMinutes)
        return std::nullopt;
    return minutes;
}

} // namespace FtpListParsers
