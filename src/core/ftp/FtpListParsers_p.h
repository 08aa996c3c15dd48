#pragma once

// Shared pieces of the listing parsers; not part of the library's interface.

#include "FtpListParsers.h"

#include <QList>
#include <QStringView>

namespace FtpListParsers::detail {

enum class LineResult {
    Entry,   // the line gave an entry
    Skip,    // a line the family knows but that names no entry (headers, totals, ".")
    NoMatch, // not a line of this family
};

using LineParser = LineResult (*)(QStringView line, const ListParseContext& context,
                                  TIdFTPListItem& item);

struct Token
{
    QStringView text;
    qsizetype end = 0; // index just past the token in the line
};

// Blank-separated words with where each ends, so a name with blanks can be
// taken from the line itself.
QList<Token> tokenize(QStringView line);
// "Jan".."Dec" (any case) to 1..12; 0 otherwise.
int monthFromName(QStringView name);
bool allDigits(QStringView text);
// Two-digit years: below 70 is 20xx. Three-digit years (100 = 2000) come from
// servers that print "year - 1900".
int fullYear(int year);
// A time the server lists in its own local time: converted with the SITE ZONE
// offset when there is one, else taken as local time.
QDateTime serverTime(QDate date, QTime time, const ListParseContext& context);
// A time the listing gives in UTC (MLSD, EPLF), as local time.
QDateTime utcTime(const QDateTime& utc, const ListParseContext& context);
// Listings without a year: the year that puts the date not after "now" (a
// day's slack for servers whose clock or zone runs ahead).
QDateTime yearlessTime(int month, int day, QTime time, const ListParseContext& context);
// "HH:MM" or "HH:MM:SS".
QTime parseClock(QStringView text);

LineResult parseUnixLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseDosLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseEplfLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseMlstLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseBareNameLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseVmsLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseOs2Line(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseNetwareLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseMvsLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseMvsPdsLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseAs400Line(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseCiscoLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseVmCmsLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseVosLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseVxWorksLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseOs9Line(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseTandemLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseMpeLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseSuperTcpLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parsePcNfsdLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseKa9qLine(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseTops20Line(QStringView line, const ListParseContext&, TIdFTPListItem&);
LineResult parseDistinctLine(QStringView line, const ListParseContext&, TIdFTPListItem&);

// VMS wraps a long file name onto a line of its own; joins it with the next.
QStringList joinVmsLines(const QStringList& lines);

} // namespace FtpListParsers::detail
