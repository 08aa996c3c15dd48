// The Unix "ls -l" family, the most common listing by far. A long listing
// has one line per entry, so this parser reads each line once, word by
// word, and allocates nothing but the name.

#include "FtpListParsers_p.h"

#include <cstring>

namespace FtpListParsers::detail {

// Whether c is one of the ASCII characters in set.
static bool isOneOf(QChar c, const char* set)
{
    return c.unicode() != 0 && c.unicode() < 0x80 && std::strchr(set, char(c.unicode()));
}

static bool isPermissionToken(QStringView t)
{
    if (t.size() < 10 || t.size() > 11 || !isOneOf(t[0], "-dlbcpsD"))
        return false;
    for (qsizetype i = 1; i < 10; ++i) {
        if (!isOneOf(t[i], "rwxsStTlL-"))
            return false;
    }
    return t.size() == 10 || isOneOf(t[10], "+@.");
}

static TIdDirItemType unixItemType(QChar c)
{
    switch (c.unicode()) {
    case 'd':
        return ditDirectory;
    case 'l':
        return ditSymbolicLink;
    case 'b':
        return ditBlockDev;
    case 'c':
        return ditCharDev;
    case 'p':
        return ditFIFO;
    case 's':
        return ditSocket;
    default:
        return ditFile;
    }
}

// A number field of an ISO date; QString's reading for anything but plain
// digits ("+1"), which such a field rarely is.
static int dateField(QStringView text)
{
    if (allDigits(text))
        return int(*digitsValue(text)); // at most four digits
    return text.toInt();
}

// The date and time at words a, b, c ("Jan 16 18:53", "Dec 24  2022") or a, b
// ("2024-01-16 18:53", ls --time-style=long-iso). Gives where the name
// starts after them, or -1 where the words are no date.
static qsizetype readDate(const Token& a, const Token& b, const Token& c,
                          const LineContext& context, QDateTime& when)
{
    if (const int month = monthFromName(a.text)) {
        if (!allDigits(b.text) || b.text.size() > 2)
            return -1;
        const int day = int(*digitsValue(b.text));
        if (c.text.contains(u':')) {
            const QTime time = parseClock(c.text);
            if (!time.isValid())
                return -1;
            when = yearlessTime(month, day, time, context);
        } else if (c.text.size() == 4 && allDigits(c.text)) {
            when = serverTime(QDate(int(*digitsValue(c.text)), month, day), QTime(0, 0), context);
        } else {
            return -1;
        }
        return c.end + 1;
    }
    const QStringView d = a.text;
    if (d.size() != 10 || d[4] != u'-' || d[7] != u'-')
        return -1;
    const QDate iso(dateField(d.first(4)), dateField(d.sliced(5, 2)), dateField(d.sliced(8, 2)));
    const QTime isoTime = parseClock(b.text);
    if (!iso.isValid() || !isoTime.isValid())
        return -1;
    when = serverTime(iso, isoTime, context);
    return b.end + 1;
}

// Unix "ls -l": the group column may be missing and owners may be numbers,
// so columns are not counted from the left; the date (month name, or an ISO
// date) anchors the line instead, the size stands before it (or "major,
// minor" for device files) and the name is everything after the time or year.
LineResult parseUnixLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (line.startsWith(u"total ", Qt::CaseInsensitive))
        return LineResult::Skip;
    TokenReader words(line);
    const QStringView mode = words.next().text;
    if (!isPermissionToken(mode))
        return LineResult::NoMatch;
    item = {};
    item.ItemType = unixItemType(mode[0]);
    // A window of four words slides along the line: the size and the three
    // words that may be a date. The date is looked for from the third word.
    Token size = words.next();
    Token a = words.next(), b = words.next(), c = words.next();
    qsizetype nameStart = -1;
    qsizetype dateAt = 2;
    for (; !c.text.isEmpty(); ++dateAt) {
        nameStart = readDate(a, b, c, context, item.ModifiedDate);
        if (nameStart >= 0)
            break;
        size = a;
        a = b;
        b = c;
        c = words.next();
    }
    // A line of fewer than six words is none of this family.
    if (nameStart < 0 || nameStart >= line.size() || (dateAt == 2 && words.next().text.isEmpty()))
        return LineResult::NoMatch;
    if (item.ItemType == ditBlockDev || item.ItemType == ditCharDev) {
        item.Size = 0; // "major, minor" or "major,minor" stands where the size would
    } else if (allDigits(size.text)) {
        item.Size = digitsValue(size.text).value_or(0); // QString gives 0 beyond 64 bits too
    } else {
        return LineResult::NoMatch;
    }
    QStringView name = line.sliced(nameStart);
    if (item.ItemType == ditSymbolicLink) {
        const qsizetype arrow = name.indexOf(u" -> ");
        if (arrow > 0) {
            if (name.endsWith(u'/'))
                item.ItemType = ditSymbolicLinkDir;
            name = name.first(arrow);
        }
    }
    if (name == u"." || name == u"..")
        return LineResult::Skip;
    item.FileName = name.toString();
    return LineResult::Entry;
}

} // namespace FtpListParsers::detail
