#pragma once

// Shared pieces of the listing parsers; not part of the library's interface.

#include "FtpListParsers.h"

#include <QList>
#include <QStringView>
#include <QVarLengthArray>

namespace FtpListParsers::detail {

enum class LineResult {
    Entry,   // the line gave an entry
    Skip,    // a line the family knows but that names no entry (headers, totals, ".")
    NoMatch, // not a line of this family
};

// A listing's context with what every line would otherwise work out again:
// the usable SITE ZONE offset and the latest wall-clock time a date without
// a year may have. Asking the zone about "now" costs a time-zone database
// lookup, so it happens here, once per listing.
struct LineContext : ListParseContext
{
    explicit LineContext(const ListParseContext& context);

    // The UTC time (ms since 1970) of a wall-clock time in localZone, worked
    // out from a cached offset where the zone keeps one offset for days
    // around it; nothing near a transition or before 1970, where QDateTime
    // must decide.
    std::optional<qint64> utcOfWallTime(qint64 wallMsecs) const;

    std::optional<int> usableOffsetMinutes; // SITE ZONE, unless no real zone has it
    QDate latestDate;                       // "now" plus a day, on the server's clock
    int latestYear = 0;
    int latestMsecs = 0; // time of day of latestDate

private:
    // UTC times from..to (ms) that share one offset from UTC.
    struct OffsetSpan
    {
        qint64 from;
        qint64 to;
        qint64 offsetMsecs;
    };
    mutable QVarLengthArray<OffsetSpan, 8> m_spans;
};

using LineParser = LineResult (*)(QStringView line, const LineContext& context,
                                  TIdFTPListItem& item);

struct Token
{
    QStringView text;
    qsizetype end = 0; // index just past the token in the line
};

// Blank-separated words with where each ends, so a name with blanks can be
// taken from the line itself.
QList<Token> tokenize(QStringView line);

// The same words one at a time, for parsers that stop early and should not
// allocate a list per line.
class TokenReader
{
public:
    explicit TokenReader(QStringView line) : m_line(line) {}
    // The next word; an empty text once the line is used up.
    Token next()
    {
        const qsizetype n = m_line.size();
        while (m_at < n && m_line[m_at].isSpace())
            ++m_at;
        const qsizetype start = m_at;
        while (m_at < n && !m_line[m_at].isSpace())
            ++m_at;
        return {m_line.sliced(start, m_at - start), m_at};
    }

private:
    QStringView m_line;
    qsizetype m_at = 0;
};

// "Jan".."Dec" (any case) to 1..12; 0 otherwise.
int monthFromName(QStringView name);
bool allDigits(QStringView text);
// The value of a text allDigits() accepts; nothing when it exceeds 64 bits.
std::optional<qint64> digitsValue(QStringView digits);
// Two-digit years: below 70 is 20xx. Three-digit years (100 = 2000) come from
// servers that print "year - 1900".
int fullYear(int year);
// A time the server lists in its own local time: converted with the SITE ZONE
// offset when there is one, else taken as local time.
QDateTime serverTime(QDate date, QTime time, const LineContext& context);
// A time the listing gives in UTC (MLSD, EPLF), as local time.
QDateTime utcTime(const QDateTime& utc, const LineContext& context);
// Listings without a year: the year that puts the date not after "now" (a
// day's slack for servers whose clock or zone runs ahead).
QDateTime yearlessTime(int month, int day, QTime time, const LineContext& context);
// "HH:MM" or "HH:MM:SS".
QTime parseClock(QStringView text);

LineResult parseUnixLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseDosLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseEplfLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseMlstLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseBareNameLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseVmsLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseOs2Line(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseNetwareLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseMvsLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseMvsPdsLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseAs400Line(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseCiscoLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseVmCmsLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseVosLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseVxWorksLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseOs9Line(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseTandemLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseMpeLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseSuperTcpLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parsePcNfsdLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseKa9qLine(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseTops20Line(QStringView line, const LineContext&, TIdFTPListItem&);
LineResult parseDistinctLine(QStringView line, const LineContext&, TIdFTPListItem&);

// VMS wraps a long file name onto a line of its own; joins it with the next.
QStringList joinVmsLines(const QStringList& lines);

} // namespace FtpListParsers::detail
