// Entry moments in the local zone near its transitions: the import looks
// the zone's offset up once per stretch between two transitions, so each
// moment is compared with Qt's own conversion, in an order that leaves and
// re-enters the stretches.
#include "output/FeedImport.h"
#include "support/QtPrinters.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

const QDateTime kNow(QDate(2025, 1, 15), QTime(12, 0, 0), Qt::UTC);

// UTC moments as RFC 3339 texts: around the 2024 transitions of Berlin and
// New York, Lord Howe's half-hour step, long before and after, and back.
const char* const kMoments[] = {
    "2024-03-31T00:59:59Z", "2024-03-31T01:00:00Z", "2024-10-27T00:59:59Z", "2024-10-27T01:00:00Z",
    "2024-03-10T06:59:59Z", "2024-03-10T07:00:00Z", "2024-11-03T05:59:59Z", "2024-11-03T06:00:00Z",
    "2024-04-06T14:59:59Z", "2024-04-06T15:00:00Z", "1970-01-01T00:00:00Z", "1901-06-01T12:00:00Z",
    "2037-07-01T12:00:00Z", "2099-12-31T23:59:59Z", "2024-03-31T00:59:59Z", "2024-07-01T00:00:00Z",
    "2024-03-31T01:00:00Z", "2023-12-31T23:30:00Z",
};

QByteArray feedWithMoments()
{
    QByteArray feed = "<rss version=\"2.0\"><channel><title>Zonen</title>";
    for (const char* moment : kMoments)
        feed += QByteArray("<item><title>") + moment + "</title><guid>" + moment +
                "</guid><dc:date xmlns:dc=\"http://purl.org/dc/elements/1.1/\">" + moment +
                "</dc:date></item>";
    return feed + "</channel></rss>";
}

TEST(FeedImportZones, EntryMomentsMatchQtsConversionAcrossTransitions)
{
    const char* const zones[] = {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                                 "Asia/Kolkata", "UTC"};
    int checked = 0;
    for (const char* id : zones) {
        const QTimeZone zone(id);
        if (!zone.isValid())
            continue; // a system without that zone's data
        SCOPED_TRACE(id);
        const FeedImportResult r = FeedImport::importFeed(feedWithMoments(), kNow, zone);
        ASSERT_EQ(size_t(r.document.entries.size()), std::size(kMoments));
        for (size_t i = 0; i < std::size(kMoments); ++i) {
            SCOPED_TRACE(kMoments[i]);
            const QDateTime local =
                QDateTime::fromString(QString::fromLatin1(kMoments[i]), Qt::ISODate)
                    .toTimeZone(zone);
            const TNewsEntry& e = r.document.entries.at(int(i));
            EXPECT_EQ(e.date, local.date());
            EXPECT_EQ(e.time, local.time());
        }
        ++checked;
    }
    EXPECT_GE(checked, 1) << "no time zone data on this system";
}

} // namespace
