// The listing parsers on arbitrary listings. The first byte picks UTF-8,
// whether the next four bytes are a SITE ZONE offset, so that broken offsets
// meet the date arithmetic too, and the local zone: the system one (UTC) or
// one with daylight saving time, half-hour steps or a skipped day.

#include "ftp/FtpListParsers.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "UTC", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t flags = data[0];
    ++data;
    --size;
    static const QTimeZone zones[] = {QTimeZone::systemTimeZone(), QTimeZone("Europe/Berlin"),
                                      QTimeZone("Australia/Lord_Howe"), QTimeZone("Pacific/Apia")};
    ListParseContext context;
    context.now = QDateTime(QDate(2024, 6, 15), QTime(12, 0), Qt::UTC);
    context.localZone = zones[(flags >> 2) & 3];
    if ((flags & 2) && size >= 4) {
        std::int32_t offset = 0;
        std::memcpy(&offset, data, 4);
        context.serverUtcOffsetMinutes = offset;
        data += 4;
        size -= 4;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = FtpListParsers::splitLines(bytes, flags & 1);
    QString family;
    (void)FtpListParsers::parseList(lines, context, &family);
    (void)FtpListParsers::parseMlsd(lines, context);
    return 0;
}
