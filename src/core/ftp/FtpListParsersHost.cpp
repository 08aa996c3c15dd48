// Listing families of non-Unix hosts: VMS, OS/2, Novell Netware, MVS, AS400.

#include "FtpListParsers_p.h"

#include <QRegularExpression>

namespace FtpListParsers::detail {

// VMS: "NAME.EXT;version  used/allocated  16-NOV-2023 12:34:56  [owner]
// (protection)". Sizes are in 512-byte blocks; a folder is a ".DIR" file.
// A long name pushes the rest of the line onto the next one.
LineResult parseVmsLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (line.startsWith(u"Directory ") || line.startsWith(u"Total of ") ||
        line.startsWith(u"Grand total "))
        return LineResult::Skip;
    static const QRegularExpression re(QStringLiteral(
        R"(^(\S+);(\d+)\s+(\d+)(?:/\d+)?\s+(\d{1,2})-([A-Za-z]{3})-(\d{2,4})\s+(\d{1,2}:\d{2}(?::\d{2})?)(?:\.\d+)?(?:\s|$))"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const int month = monthFromName(m.capturedView(5));
    const QTime time = parseClock(m.capturedView(7));
    const QDate date(fullYear(m.capturedView(6).toInt()), month, m.capturedView(4).toInt());
    if (!month || !date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    QString name = m.captured(1);
    if (name.endsWith(QLatin1String(".DIR"), Qt::CaseInsensitive)) {
        name.chop(4);
        item.ItemType = ditDirectory;
    }
    item.FileName = name;
    item.Size = m.capturedView(3).toLongLong() * 512;
    item.ModifiedDate = serverTime(date, time, context);
    return LineResult::Entry;
}

QStringList joinVmsLines(const QStringList& lines)
{
    QStringList joined;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const bool nameOnly =
            !line.isEmpty() && !line[0].isSpace() && !line.contains(u' ') && line.contains(u';');
        if (nameOnly && i + 1 < lines.size() && !lines[i + 1].isEmpty() &&
            lines[i + 1][0].isSpace()) {
            joined.append(line + lines[i + 1]);
            ++i;
        } else {
            joined.append(line);
        }
    }
    return joined;
}

// OS/2: "  36611  A  04-23-103  10:57  OS2KRNL": size first, then attribute
// words ("DIR" marks a folder), a month-first date whose year may be
// "year - 1900", a 24-hour time and the name. Unlike DOS the size leads.
LineResult parseOs2Line(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^\s*(\d+)\s+((?:[A-Z]+\s+)*)(\d{1,2})-(\d{1,2})-(\d{2,3}|\d{4})\s+(\d{1,2}:\d{2})\s+(\S.*)$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const QDate date(fullYear(m.capturedView(5).toInt()), m.capturedView(3).toInt(),
                     m.capturedView(4).toInt());
    const QTime time = parseClock(m.capturedView(6));
    if (!date.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.Size = m.capturedView(1).toLongLong();
    item.ItemType = m.capturedView(2).split(u' ').contains(u"DIR") ? ditDirectory : ditFile;
    item.ModifiedDate = serverTime(date, time, context);
    item.FileName = m.captured(7);
    if (item.FileName == u"." || item.FileName == u"..")
        return LineResult::Skip;
    return LineResult::Entry;
}

// Novell Netware: "d [RWCEAFMS] owner  size  Jan 16 18:53  name". The
// rights in brackets replace the Unix mode, the first column is "d" or
// "-"; Print Services for Unix writes the bracket right after it.
LineResult parseNetwareLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^([d-])\s*\[[A-Z-]+\]\s+(\S+)\s+(\d+)\s+([A-Za-z]{3})\s+(\d{1,2})\s+(\d{1,2}:\d{2}|\d{4})\s+(\S.*)$)"));
    const auto m = re.match(line);
    if (!m.hasMatch())
        return LineResult::NoMatch;
    const int month = monthFromName(m.capturedView(4));
    const int day = m.capturedView(5).toInt();
    if (!month)
        return LineResult::NoMatch;
    item = {};
    const QStringView when = m.capturedView(6);
    if (when.contains(u':'))
        item.ModifiedDate = yearlessTime(month, day, parseClock(when), context);
    else
        item.ModifiedDate = serverTime(QDate(when.toInt(), month, day), QTime(0, 0), context);
    item.ItemType = m.capturedView(1) == u"d" ? ditDirectory : ditFile;
    item.Size = m.capturedView(3).toLongLong();
    item.FileName = m.captured(7);
    return LineResult::Entry;
}

// MVS catalog: "Volume Unit Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname".
// Data set names are qualified names, not paths; a partitioned data set (PO)
// behaves as a folder of members. Migrated or unmounted data sets show only
// part of the columns. Sizes are in tracks, so no byte size is given.
LineResult parseMvsLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    if (line.startsWith(u"Volume Unit"))
        return LineResult::Skip;
    const QList<Token> t = tokenize(line);
    item = {};
    if (t.size() == 2 && (t[0].text == u"Migrated" || t[0].text == u"ARCIVE")) {
        item.FileName = t[1].text.toString();
        return LineResult::Entry;
    }
    if (t.size() == 3 && t[0].text == u"Pseudo" && t[1].text == u"Directory") {
        item.FileName = t[2].text.toString();
        item.ItemType = ditDirectory;
        return LineResult::Entry;
    }
    if (t.size() < 10)
        return LineResult::NoMatch;
    const QDate date = QDate::fromString(t[2].text.toString(), QStringLiteral("yyyy/MM/dd"));
    const QStringView dsorg = t[t.size() - 2].text;
    if (!date.isValid() || !allDigits(t[3].text) || !allDigits(t[4].text))
        return LineResult::NoMatch;
    item.ItemType = dsorg.startsWith(u"PO") ? ditDirectory : ditFile;
    item.ModifiedDate = serverTime(date, QTime(0, 0), context);
    QStringView name = t.back().text;
    if (name.size() > 1 && name.startsWith(u'\'') && name.endsWith(u'\''))
        name = name.sliced(1, name.size() - 2);
    item.FileName = name.toString();
    return LineResult::Entry;
}

// MVS partitioned data set members: " Name VV.MM Created Changed Size Init
// Mod Id". "Size" counts records, not bytes, so it is not taken as one.
LineResult parseMvsPdsLine(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    const QList<Token> t = tokenize(line);
    if (!t.isEmpty() && t[0].text == u"Name" && line.contains(u"VV.MM"))
        return LineResult::Skip;
    if (t.size() < 9)
        return LineResult::NoMatch;
    static const QRegularExpression version(QStringLiteral(R"(^\d{2}\.\d{2}$)"));
    const QDate changed = QDate::fromString(t[3].text.toString(), QStringLiteral("yyyy/MM/dd"));
    const QTime time = parseClock(t[4].text);
    if (!version.match(t[1].text).hasMatch() || !changed.isValid() || !time.isValid())
        return LineResult::NoMatch;
    item = {};
    item.FileName = t[0].text.toString();
    item.ModifiedDate = serverTime(changed, time, context);
    return LineResult::Entry;
}

// AS400 (IBM i): "owner  size  date  time  *TYPE  name". The date follows
// the job's date format, so month-first and day-first both occur: a first
// number above 12 means day-first. A name ending in "/" is a folder (*DIR,
// *LIB, *FILE); members (*MEM) come without size columns.
LineResult parseAs400Line(QStringView line, const LineContext& context, TIdFTPListItem& item)
{
    const QList<Token> t = tokenize(line);
    item = {};
    // Members come without size and date, some servers with a zero size.
    const qsizetype mem = t.size() >= 3 && t[1].text == u"*MEM"                           ? 1
                          : t.size() >= 4 && t[2].text == u"*MEM" && allDigits(t[1].text) ? 2
                                                                                          : 0;
    if (mem) {
        item.FileName = line.sliced(t[mem].end).trimmed().toString();
        return item.FileName.isEmpty() ? LineResult::NoMatch : LineResult::Entry;
    }
    if (t.size() < 6 || !allDigits(t[1].text) || !t[4].text.startsWith(u'*'))
        return LineResult::NoMatch;
    static const QRegularExpression dateRe(
        QStringLiteral(R"(^(\d{1,2})[/.-](\d{1,2})[/.-](\d{2,4})$)"));
    const auto d = dateRe.match(t[2].text);
    const QTime time = parseClock(t[3].text);
    if (!d.hasMatch() || !time.isValid())
        return LineResult::NoMatch;
    int first = d.capturedView(1).toInt(), second = d.capturedView(2).toInt();
    if (first > 12 || t[2].text.contains(u'.'))
        std::swap(first, second);
    const QDate date(fullYear(d.capturedView(3).toInt()), first, second);
    if (!date.isValid())
        return LineResult::NoMatch;
    QString name = line.sliced(t[4].end).trimmed().toString();
    if (name.endsWith(u'/')) {
        name.chop(1);
        item.ItemType = ditDirectory;
    } else if (t[4].text == u"*DIR" || t[4].text == u"*LIB") {
        item.ItemType = ditDirectory;
    }
    if (name.isEmpty())
        return LineResult::NoMatch;
    item.FileName = name;
    item.Size = t[1].text.toLongLong();
    item.ModifiedDate = serverTime(date, time, context);
    return LineResult::Entry;
}

} // namespace FtpListParsers::detail
