// Listing families of smaller or older hosts: routers, mainframe guests and
// embedded systems whose FTP servers print their own directory command.

#include "FtpListParsers_p.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace FtpListParsers::detail {

// Cisco IOS flash: "  1  -rw-  18929788  Mar 1 1993 00:05:32 +00:00  name".
// The leading index and the four-letter mode look like neither Unix nor
// DOS; the time carries its own UTC offset, so SITE ZONE does not apply.
// Files written before the clock was set show "<no date>".
LineResult parseCiscoLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (line.startsWith(u"Directory of ") ||
        (line.contains(u"bytes total") && line.contains(u"free")))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*\d+\s+([d-])[rwx-]{3}\s+(\d+)\s+(?:<no date>|([A-Za-z]{3})\s+(\d{1,2})\s+(\d{4})\s+(\d{1,2}:\d{2}:\d{2})\s+([+-])(\d{2}):?(\d{2}))\s+(\S.*)$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    item = {};
    if (m.hasCaptured(3)) {
        const QDate date(m.capturedView(5).toInt(), monthFromName(m.capturedView(3)),
                         m.capturedView(4).toInt());
        const QTime time = parseClock(m.capturedView(6));
        if (!date.isValid() || !time.isValid())
            return LineResult::NoMatch;
        int offset = (m.capturedView(8).toInt() * 60 + m.capturedView(9).toInt()) * 60;
        if (m.capturedView(7) == u"-")
            offset = -offset;
        item.ModifiedDate = QDateTime(date, time, QTimeZone(offset)).toTimeZone(context.localZone);
    }
    item.ItemType = m.capturedView(1) == u"d" ? ditDirectory : ditFile;
    item.Size = m.capturedView(2).toLongLong();
    item.FileName = m.captured(10);
    return LineResult::Entry;
}

// VM/CMS: "PROFILE  EXEC  V  75  24  1  2006-12-13 10:35:35 LFS191". File
// name and type are two columns that make "NAME.TYPE"; SFS folders have type
// DIR and dashes for the record columns. Only fixed-length records give an
// exact byte size (records x length); variable ones give none. Older
// servers date "6/15/23".
LineResult parseVmCmsLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^(\S+)\s+(\S+)\s+([FV-])\s+(\d+|-)\s+(\d+|-)\s+(\d+|-)\s+(?:(\d{4})-(\d{2})-(\d{2})|(\d{1,2})/(\d{1,2})/(\d{2}))\s+(\d{1,2}:\d{2}:\d{2})(?:\s+\S+)?\s*$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date =
        m.hasCaptured(7)
            ? QDate(m.capturedView(7).toInt(), m.capturedView(8).toInt(), m.capturedView(9).toInt())
            : QDate(fullYear(m.capturedView(12).toInt()), m.capturedView(10).toInt(),
                    m.capturedView(11).toInt());
    const QTime time = parseClock(m.capturedView(13));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    if (m.capturedView(2) == u"DIR" && m.capturedView(3) == u"-") {
        item.ItemType = ditDirectory;
        item.FileName = m.captured(1);
        return LineResult::Entry;
    }
    if (m.capturedView(3) == u"-" || !allDigits(m.capturedView(4)) || !allDigits(m.capturedView(5)))
        return LineResult::NoMatch;
    if (m.capturedView(3) == u"F")
        item.Size = m.capturedView(4).toLongLong() * m.capturedView(5).toLongLong();
    item.FileName = m.captured(1) + u'.' + m.captured(2);
    return LineResult::Entry;
}

// Stratus VOS: entries come in sections under "Files:", "Dirs:" and
// "Links:" headers. File lines carry a status letter, a block count (4 KiB
// blocks), the file organisation and a "yy-mm-dd hh:mm:ss" date; folder
// lines leave the organisation out and link lines the block count too, so
// the line itself says which section it belongs to.
LineResult parseVosLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    static const QRegularExpression header(QStringLiteral(R"(^(Files|Dirs|Links):\s+\d+)"));
    if (header.match(line).hasMatch())
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^([a-z])\s+(?:(\d+)\s+(?:(seq|rel|fix|stm)\s+)?)?(\d{2})-(\d{2})-(\d{2})\s+(\d{2}:\d{2}:\d{2})\s+(\S.*)$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(fullYear(m.capturedView(4).toInt()), m.capturedView(5).toInt(),
                     m.capturedView(6).toInt());
    const QTime time = parseClock(m.capturedView(7));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    QStringView name = m.capturedView(8);
    if (!m.hasCaptured(2)) {
        const qsizetype arrow = name.indexOf(u" -> ");
        if (arrow <= 0)
            return LineResult::NoMatch;
        item.ItemType = ditSymbolicLink;
        name = name.first(arrow);
    } else if (!m.hasCaptured(3)) {
        item.ItemType = ditDirectory;
    } else {
        item.Size = m.capturedView(2).toLongLong() * 4096;
    }
    item.FileName = name.toString();
    return LineResult::Entry;
}

// Wind River VxWorks: "   41984    OCT-10-2023  13:45:28   vxWorks.st",
// folders marked by a trailing "<DIR>" instead of a mode. The month-name
// date with dashes is what sets it apart from DOS-style listings.
LineResult parseVxWorksLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.startsWith(u"size ") || trimmed.startsWith(u"----"))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d+)\s+([A-Za-z]{3})-(\d{1,2})-(\d{4})\s+(\d{1,2}:\d{2}:\d{2})\s+(\S.*?)(\s+<DIR>)?\s*$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(m.capturedView(4).toInt(), monthFromName(m.capturedView(2)),
                     m.capturedView(3).toInt());
    const QTime time = parseClock(m.capturedView(5));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    item.FileName = m.captured(6);
    if (m.hasCaptured(7))
        item.ItemType = ditDirectory;
    else
        item.Size = m.capturedView(1).toLongLong();
    if (item.FileName == u"." || item.FileName == u"..")
        return LineResult::Skip;
    return LineResult::Entry;
}

// MicroWare OS-9 "dir -e": "  0.0   23/11/16 1234 d-ewrewr  A4  2C0 CMDS".
// Owner as group.user, a "yy/mm/dd hhmm" date without a colon, the
// eight attribute letters, then sector and byte count in hexadecimal; a
// decimal reading of the size would be silently wrong.
LineResult parseOs9Line(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.startsWith(u"Owner ") || trimmed.startsWith(u"---") ||
        trimmed.startsWith(u"Directory of "))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*\d+\.\d+\s+(\d{2})/(\d{2})/(\d{2})\s+(\d{2})(\d{2})\s+([d-])[s-][e-][w-][r-][e-][w-][r-]\s+[0-9A-Fa-f]+\s+([0-9A-Fa-f]+)\s+(\S.*)$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(fullYear(m.capturedView(1).toInt()), m.capturedView(2).toInt(),
                     m.capturedView(3).toInt());
    const QTime time(m.capturedView(4).toInt(), m.capturedView(5).toInt());
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    item.ItemType = m.capturedView(6) == u"d" ? ditDirectory : ditFile;
    item.Size = m.capturedView(7).toLongLong(nullptr, 16);
    item.FileName = m.captured(8);
    return LineResult::Entry;
}

// Tandem NonStop Guardian: "FEEDXML  101  1234  16-Jan-24 18:53:00
// "NUNU" 255,255". File code, end-of-file in bytes, a day-first date, the
// quoted RWEP security string and "group,user" owner. A code ending in "O"
// marks a file open at listing time. Guardian subvolumes hold no folders.
LineResult parseTandemLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (line.startsWith(u"File ") && line.contains(u"RWEP"))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^(\S+)\s+\d+O?\s+(\d+)\s+(\d{1,2})-([A-Za-z]{3})-(\d{2})\s+(\d{1,2}:\d{2}:\d{2})\s+"[A-Z-]{4}"\s+\d+,\s*\d+\s*$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(fullYear(m.capturedView(5).toInt()), monthFromName(m.capturedView(4)),
                     m.capturedView(3).toInt());
    const QTime time = parseClock(m.capturedView(6));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.FileName = m.captured(1);
    item.Size = m.capturedView(2).toLongLong();
    item.ModifiedDate = serverTime(date, time, context);
    return LineResult::Entry;
}

// MPE/iX "LISTF ,2": "FEEDXML  128W  FB  17  2048  1  64  1  8". No dates;
// the record size is in words (W, 2 bytes) or bytes (B) and EOF counts
// records, so only fixed-length files (type F..) give an exact byte size.
// The file code column is blank for ordinary files.
LineResult parseMpeLine(QStringView line, const LineContext&, TIdFTPListItem& item)
{
    if (line.startsWith(u"ACCOUNT=") || line.startsWith(u"PATH=") ||
        line.startsWith(u"FILENAME ") || line.trimmed().startsWith(u"SIZE "))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^(\S+)\s+(?:\S+\s+)?(\d+)([WB])\s+([FVU][A-Z]{0,3})\s+(\d+)\s+\d+\s+\d+\s+\d+\s+\d+\s+\d+\s*$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    item = {};
    item.FileName = m.captured(1);
    if (m.capturedView(4).startsWith(u'F')) {
        const qint64 record = m.capturedView(2).toLongLong() * (m.capturedView(3) == u"W" ? 2 : 1);
        item.Size = record * m.capturedView(5).toLongLong();
    }
    return LineResult::Entry;
}

// SuperTCP: "DESIGN1.DOC   11264   05-11-95   14:20", folders "<DIR>" in the
// size column. Unlike IIS the name comes first and the date is at the
// end, and the 24-hour time has no AM/PM (which PC-NFSD's has).
LineResult parseSuperTcpLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^(\S+)\s+(<DIR>|\d+)\s+(\d{1,2})-(\d{1,2})-(\d{2}|\d{4})\s+(\d{1,2}:\d{2})\s*$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(fullYear(m.capturedView(5).toInt()), m.capturedView(3).toInt(),
                     m.capturedView(4).toInt());
    const QTime time = parseClock(m.capturedView(6));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    if (m.capturedView(2) == u"<DIR>")
        item.ItemType = ditDirectory;
    else
        item.Size = m.capturedView(2).toLongLong();
    item.FileName = m.captured(1);
    if (item.FileName == u"." || item.FileName == u"..")
        return LineResult::Skip;
    return LineResult::Entry;
}

// PC-NFSD: the MS-DOS "dir" layout, "FEED     XML      1234  01-16-24
// 6:53p". Name and extension stand in separate columns (8.3 names hold no
// blanks), the time is 12-hour with a bare "a"/"p".
LineResult parsePcNfsdLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (line.startsWith(u" Volume ") || line.startsWith(u" Directory of ") ||
        line.contains(u" file(s) ") || line.contains(u" bytes free"))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^(\S{1,8})(?:\s+(\S{1,3}))?\s+(<DIR>|[\d,]+)\s+(\d{1,2})-(\d{1,2})-(\d{2}|\d{4})\s+(\d{1,2}):(\d{2})([aApP])[mM]?\s*$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(fullYear(m.capturedView(6).toInt()), m.capturedView(4).toInt(),
                     m.capturedView(5).toInt());
    int hour = m.capturedView(7).toInt();
    if (hour < 1 || hour > 12)
        return LineResult::NoMatch;
    hour = hour % 12 + (m.capturedView(9).compare(u"p", Qt::CaseInsensitive) == 0 ? 12 : 0);
    const QTime time(hour, m.capturedView(8).toInt());
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    if (m.capturedView(3) == u"<DIR>") {
        item.ItemType = ditDirectory;
    } else {
        QString digits = m.captured(3);
        item.Size = digits.remove(u',').toLongLong();
    }
    item.FileName = m.captured(1);
    if (m.hasCaptured(2))
        item.FileName += u'.' + m.captured(2);
    if (item.FileName == u"." || item.FileName == u"..")
        return LineResult::Skip;
    return LineResult::Entry;
}

// KA9Q NOS: "autoexec.net   1,289  10:36  6/28/93". The time stands before
// the month-first date, folders end in "/" and have no size; the
// "files. ... bytes free" footer names no entry.
LineResult parseKa9qLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (line.contains(u" bytes free"))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^(\S+?)(/)?\s+(?:([\d,]+)\s+)?(\d{1,2}:\d{2})\s+(\d{1,2})/(\d{1,2})/(\d{2})\s*$)"));
    const auto m = re.match(line);
    if (!m.hasMatch() || m.hasCaptured(2) == m.hasCaptured(3))
        return LineResult::NoMatch;
    const QDate date(fullYear(m.capturedView(7).toInt()), m.capturedView(5).toInt(),
                     m.capturedView(6).toInt());
    const QTime time = parseClock(m.capturedView(4));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    item.FileName = m.captured(1);
    if (m.hasCaptured(2)) {
        item.ItemType = ditDirectory;
    } else {
        QString digits = m.captured(3);
        item.Size = digits.remove(u',').toLongLong();
    }
    return LineResult::Entry;
}

// TOPS-20: one "NAME.TYPE.GENERATION" per line under a "PS:<DIRECTORY>"
// header. Without the digits of the generation these are bare names, so
// only upper-case names with a numeric generation are taken; the
// generation is dropped (as VMS versions are) and type DIRECTORY is a folder.
LineResult parseTops20Line(QStringView line, const LineContext&, TIdFTPListItem& item)
{
    static const QRegularExpression header(QStringLiteral(R"(^[A-Z0-9]+:<[^>]+>$)"));
    if (header.match(line).hasMatch())
        return LineResult::Skip;
    static const QRegularExpression re(
        QStringLiteral(R"(^([A-Z0-9$%_-]+)\.([A-Z0-9$%_-]*)\.\d+$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    item = {};
    if (m.capturedView(2) == u"DIRECTORY") {
        item.ItemType = ditDirectory;
        item.FileName = m.captured(1);
    } else {
        item.FileName = m.captured(1) + u'.' + m.captured(2);
    }
    return LineResult::Entry;
}

static bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// What a Distinct line needs before its expression runs: the mode, then
// blanks and digits up to a word of three letters. Most Unix lines fail it
// at the owner, without the cost of a match.
static bool mayBeDistinctLine(QStringView line)
{
    if (line.size() < 14 || (line[0] != u'd' && line[0] != u'-'))
        return false;
    qsizetype at = 10;
    while (at < line.size() && !isAsciiLetter(line[at])) {
        const char16_t c = line[at].unicode();
        if (!(c == u' ' || (c >= u'\t' && c <= u'\r') || (c >= u'0' && c <= u'9')))
            return false;
        ++at;
    }
    return at + 3 < line.size() && isAsciiLetter(line[at + 1]) && isAsciiLetter(line[at + 2]) &&
           !isAsciiLetter(line[at + 3]);
}

// Distinct TCP/IP: a Unix mode, then straight to the size and a date with
// both year and time, "-r-xr-xr-x  7680 Oct 21 1999 08:24 name". No link
// count or owner, so the Unix parser would take the time for part of the
// name; tried before it, and only with the year and time both present.
LineResult parseDistinctLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (!mayBeDistinctLine(line))
        return LineResult::NoMatch;
    static const QRegularExpression re(QStringLiteral(
        R"(^([d-])[rwx-]{9}\s+(\d+)\s+([A-Za-z]{3})\s+(\d{1,2})\s+(\d{4})\s+(\d{1,2}:\d{2})\s+(\S.*)$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(m.capturedView(5).toInt(), monthFromName(m.capturedView(3)),
                     m.capturedView(4).toInt());
    const QTime time = parseClock(m.capturedView(6));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.ModifiedDate = serverTime(date, time, context);
    item.ItemType = m.capturedView(1) == u"d" ? ditDirectory : ditFile;
    item.Size = m.capturedView(2).toLongLong();
    item.FileName = m.captured(7);
    if (item.FileName == u"." || item.FileName == u"..")
        return LineResult::Skip;
    return LineResult::Entry;
}

} // namespace FtpListParsers::detail
