#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QTimeZone>

// The RFC 822 date text of RSS 2.0, "Thu, 05 Mar 2009 08:07:06 GMT": English
// day and month names and plain digits, whatever the regional settings.
// Both forms are pure: they write the moment as given, labelled " GMT";
// converting local input to UTC is the caller's business (LocalMomentToUtc).

// A date-time value of the document model: days since 1899-12-30 00:00, the
// fraction the time of day (for days before that date the fraction still
// counts forward from midnight). Rounded to the nearest millisecond, then the
// milliseconds are dropped. A value that is not a finite moment of the
// calendar gives the empty text.
QString GetRSSTimeString(double moment);
// The date and time of day of the value as they are (its zone is ignored);
// milliseconds are dropped. An invalid value gives the empty text.
QString GetRSSTimeString(const QDateTime& moment);

// The model's date-time value of a calendar day and a time of day.
double DateTimeValue(QDate date, QTime time);

// The moment that a date and a time of day describe in localZone, in UTC. A
// local time that the zone skips (the hour lost to daylight saving time) is
// taken as if the clock had not been changed yet.
QDateTime LocalMomentToUtc(QDate date, QTime time, const QTimeZone& localZone);
