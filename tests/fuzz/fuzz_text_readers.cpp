// The small text readers behind the fields and the project file: whole
// numbers, Boolean texts, dates and times in German and US settings.

#include "document/ProjectFile.h"
#include "ftp/FtpProfileStore.h"
#include "platform/RegionalSettings.h"
#include "platform/WholeNumber.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)WholeNumber::parse(text);
    (void)FtpProfileStore::parseBoolean(text);
    try {
        (void)ProjectFile::decodeBoolean(text);
    } catch (const ProjectFileError&) {
    }
    static const RegionalSettings german = RegionalSettings::german();
    static const RegionalSettings us = [] {
        RegionalSettings s;
        s.dateOrder = RegionalSettings::DateOrder::MonthDayYear;
        s.dateSeparator = QStringLiteral("/");
        s.dayLeadingZero = s.monthLeadingZero = s.hourLeadingZero = false;
        s.twelveHour = true;
        return s;
    }();
    for (const RegionalSettings* settings : {&german, &us}) {
        if (const auto date = settings->parseDate(text))
            (void)settings->formatDate(*date);
        if (const auto time = settings->parseTime(text))
            (void)settings->formatTime(*time);
    }
    return 0;
}
