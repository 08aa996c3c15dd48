#pragma once

#include "FtpReplyReader.h"
#include "IdFTPListItem.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <optional>

// What the listing parsers need beyond the lines: "now" (listings without a
// year pick it so that the date is not in the future) and the server's offset
// from UTC when SITE ZONE gave one.
struct ListParseContext
{
    QDateTime now = QDateTime::currentDateTime();
    std::optional<int> serverUtcOffsetMinutes;
};

// Directory listing parsers: lines in, entries out, no I/O. A listing no
// parser recognises is an empty one, never a failure.
namespace FtpListParsers {

// Splits received listing bytes into lines (CR LF or LF), decoded as UTF-8 or
// ISO 8859-1. Empty lines are dropped.
QStringList splitLines(const QByteArray& data, bool utf8);

// RFC 3659 fact lines, as MLSD sends them. Lines that are not fact lines and
// the "." and ".." entries (cdir, pdir) are left out.
TIdFTPListItems parseMlsd(const QStringList& lines, const ListParseContext& context);

// LIST output: the families are tried in a fixed order and the first that
// recognises the lines is used. `familyName` (when given) gets its name, or
// an empty text when none did.
TIdFTPListItems parseList(const QStringList& lines, const ListParseContext& context,
                          QString* familyName = nullptr);

// The family names parseList() can report, in the order they are tried.
QStringList familyNames();

// Real zones lie within a day of UTC; a larger offset is a broken reply and
// would throw the listing dates out by years.
constexpr int kMaxServerUtcOffsetMinutes = 24 * 60;

// The server's offset from UTC in a SITE ZONE reply: "210 UTC-300" means its
// clock runs 300 minutes behind UTC. Nothing for another code, another text
// or an offset beyond kMaxServerUtcOffsetMinutes.
std::optional<int> parseSiteZoneReply(const FtpReply& reply);

} // namespace FtpListParsers
