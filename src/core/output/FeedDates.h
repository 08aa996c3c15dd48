#pragma once

#include <QDateTime>
#include <QStringView>
#include <optional>

// The date texts of feeds as they are written in the wild, read into a UTC
// moment. Pure functions: no regional settings, no clock.
namespace FeedDates {

// RFC 822 / RFC 2822: "Tue, 10 Jun 2003 04:00:00 GMT" and its looser forms:
// no day name, full day or month names, no seconds, no time at all, one- or
// two-digit days, two-digit years (below 50: 20xx, else 19xx), numeric zones
// with or without colon, the named zones of RFC 822 and a few common ones;
// no zone means UTC. Nullopt when it does not read.
std::optional<QDateTime> parseRfc822(QStringView text);

// RFC 3339 / W3C-DTF: "2003-12-13T18:30:02Z", fractions, offsets, a blank
// instead of the "T", and the shorter forms "2003-12-13", "2003-12", "2003"
// (midnight UTC). Nullopt when it does not read.
std::optional<QDateTime> parseRfc3339(QStringView text);

// Either form: RFC 822 first, since RSS asks for it, then RFC 3339.
std::optional<QDateTime> parse(QStringView text);

} // namespace FeedDates
