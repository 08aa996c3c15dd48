#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <optional>

// The user's regional date and time settings, reduced to what the project
// file and the lists need: numeric dates in the settings' order and
// separator, times with the settings' separator, clock and AM/PM markers.
// current() follows QLocale::system() unless a test sets other settings.
class RegionalSettings
{
public:
    enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

    DateOrder dateOrder = DateOrder::DayMonthYear;
    QString dateSeparator = QStringLiteral(".");
    bool dayLeadingZero = true;
    bool monthLeadingZero = true;
    QString timeSeparator = QStringLiteral(":");
    bool hourLeadingZero = true;
    bool twelveHour = false;
    bool amPmFirst = false;
    QString amText = QStringLiteral("AM");
    QString pmText = QStringLiteral("PM");

    static RegionalSettings fromLocale(const QLocale& locale);
    static RegionalSettings german() { return {}; }

    static const RegionalSettings& current();
    static void setCurrent(const RegionalSettings& settings);
    static void resetToSystem();

    // The year always has four digits, whatever the locale's pattern says.
    QString formatDate(QDate date) const;
    // The settings' numeric order, and besides it d.M.yyyy and yyyy-MM-dd.
    std::optional<QDate> parseDate(QStringView text) const;
    // Hours, minutes and seconds; AM/PM in front or behind on a 12-hour clock.
    QString formatTime(QTime time) const;
    // Hours, minutes, optional seconds, an optional AM/PM marker.
    std::optional<QTime> parseTime(QStringView text) const;
};
