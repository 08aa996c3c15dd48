// Importing a large feed: 10,000 items with about 1 KB of HTML each (the
// RSS the builder writes, plus a content:encoded and an enclosure per item),
// beside pugixml alone parsing the same bytes, the floor the import adds to.
#include "output/FeedImport.h"
#include "output/Rss20.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

namespace {

constexpr int kItems = 10'000;

QByteArray largeFeed()
{
    QByteArray feed =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rss version=\"2.0\" xmlns:content=\"http://purl.org/rss/1.0/modules/content/\">\n"
        "<channel><title>Neues aus dem Heimatverein</title>"
        "<link>https://example.org/</link><description>Alles</description>"
        "<language>de-de</language><ttl>60</ttl>\n";
    for (int i = 0; i < kItems; ++i) {
        QByteArray html =
            QStringLiteral("<p>Meldung %1: <b>Sommerfest</b> am Mühlenteich.</p>").arg(i).toUtf8();
        while (html.size() < 1000)
            html += "<p>Kaffee &amp; Kuchen, Führung durch die alte Wassermühle, Ausstellung "
                    "„Schule früher“ im Museum.</p>";
        feed += "<item><title>Meldung Nummer " + QByteArray::number(i) +
                "</title><link>https://example.org/meldungen/" + QByteArray::number(i) +
                "</link><description>Kurzfassung " + QByteArray::number(i) +
                "</description><content:encoded><![CDATA[" + html +
                "]]></content:encoded><author>redaktion@example.org (Margarete Schönfeld)</author>"
                "<guid isPermaLink=\"false\">meldung-" +
                QByteArray::number(i) +
                "</guid><pubDate>Mon, 01 Jan 2024 08:00:00 +0100</pubDate>"
                "<enclosure url=\"https://example.org/a" +
                QByteArray::number(i) + ".mp3\" length=\"123456\" type=\"audio/mpeg\"/></item>\n";
    }
    feed += "</channel></rss>\n";
    return feed;
}

const QByteArray& feed()
{
    static const QByteArray bytes = largeFeed();
    return bytes;
}

const QDateTime kNow(QDate(2025, 1, 15), QTime(12, 0), Qt::UTC);
const QTimeZone kBerlin("Europe/Berlin");

void BM_ImportFeed(benchmark::State& state)
{
    for (auto _ : state) {
        FeedImportResult r = FeedImport::importFeed(feed(), kNow, kBerlin);
        benchmark::DoNotOptimize(r.document.entries.size());
    }
    state.counters["MB"] = double(feed().size()) / 1e6;
}

// The floor: pugixml parsing a copy of the bytes in place, as the XML
// document service does.
void BM_PugixmlParse(benchmark::State& state)
{
    for (auto _ : state) {
        QByteArray copy(feed().constData(), feed().size());
        pugi::xml_document doc;
        const pugi::xml_parse_result result = doc.load_buffer_inplace(
            copy.data(), size_t(copy.size()), pugi::parse_default | pugi::parse_comments,
            pugi::encoding_utf8);
        benchmark::DoNotOptimize(result.status);
    }
}

// A second floor: only turning the bytes into one QString, which the
// import does piecewise for every text it keeps.
void BM_Utf8ToQString(benchmark::State& state)
{
    for (auto _ : state) {
        QString text = QString::fromUtf8(feed());
        benchmark::DoNotOptimize(text.size());
    }
}

} // namespace

BENCHMARK(BM_Utf8ToQString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportFeed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
