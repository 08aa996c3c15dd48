// libFuzzer entry for the feed import: any bytes either become a project or
// a FeedImportError; nothing else may happen (crash, hang, other exception).
#include "output/FeedImport.h"

#include <QDateTime>
#include <QTimeZone>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QDateTime now(QDate(2025, 1, 15), QTime(12, 0), Qt::UTC);
    static const QTimeZone zone = QTimeZone::utc();
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const FeedImportResult result = FeedImport::importFeed(bytes, now, zone);
        (void)result.document.entries.size();
    } catch (const FeedImportError&) {
    }
    return 0;
}
