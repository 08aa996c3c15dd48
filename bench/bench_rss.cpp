// The RSS of a large project: 10,000 entries with about 1 KB of HTML each,
// built and saved by the builder, beside pugixml alone serialising an
// equivalent tree (the floor the XML document service adds to), and the
// feed check of the same project beside the build.
#include "output/FeedCheck.h"
#include "output/Rss20.h"
#include "output/RssTime.h"
#include "platform/XmlDocument.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <pugixml.hpp>

namespace {

constexpr int kEntries = 10'000;

QString htmlOfAboutOneKilobyte(int i)
{
    QString html =
        QStringLiteral("<p>Meldung %1: <b>Sommerfest</b> am Mühlenteich &amp; mehr.</p>\r\n")
            .arg(i);
    while (html.size() < 1000)
        html += QStringLiteral("<p>Kaffee &amp; Kuchen, Führung durch die alte Wassermühle, "
                               "Ausstellung „Schule früher“ im Museum.</p>\r\n");
    return html;
}

const FeedDocument& largeProject()
{
    static const FeedDocument document = [] {
        FeedDocument d;
        d.setText(u"edtFeedTitle", QStringLiteral("Neues aus dem Heimatverein"));
        d.setText(u"edtLink", QStringLiteral("https://example.org/"));
        d.setText(u"memoDescription", htmlOfAboutOneKilobyte(0));
        d.setFlag(u"chkPublish", true);
        d.setDate(u"datePublish", QDate(2024, 6, 14));
        for (int i = 0; i < kEntries; ++i) {
            auto e = std::make_unique<TNewsEntry>();
            e->title = QStringLiteral("Meldung Nummer %1").arg(i);
            e->link = QStringLiteral("https://example.org/meldungen/%1").arg(i);
            e->content = htmlOfAboutOneKilobyte(i);
            e->author = QStringLiteral("Margarete Schönfeld");
            e->email = QStringLiteral("redaktion@example.org");
            e->guid =
                QStringLiteral("{6F1C2A94-3B7E-4D21-9C05-%1}").arg(i, 12, 10, QLatin1Char('0'));
            e->chkPublish = true;
            e->date = QDate(2024, 1, 1).addDays(i % 366);
            e->time = QTime(8, 0).addSecs(i * 7);
            d.entries.append(std::move(e));
        }
        return d;
    }();
    return document;
}

const QString& outPath()
{
    static const QString path = QDir::temp().filePath(
        QStringLiteral("bench_rss_%1.xml").arg(QCoreApplication::applicationPid()));
    return path;
}

void setBytes(benchmark::State& state, qint64 bytes)
{
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["file_MB"] = double(bytes) / 1e6;
}

void BM_GenerateRSS20Text(benchmark::State& state)
{
    const FeedDocument& d = largeProject();
    for (auto _ : state) {
        const QString text = Rss20::GenerateRSS20(d, QTimeZone::utc());
        benchmark::DoNotOptimize(text.data());
    }
    setBytes(state, Rss20::GenerateRSS20(d, QTimeZone::utc()).toUtf8().size());
}

void BM_GenerateRSS20File(benchmark::State& state)
{
    const FeedDocument& d = largeProject();
    for (auto _ : state)
        Rss20::GenerateRSS20(d, outPath(), QTimeZone("Europe/Berlin"));
    setBytes(state, QFile(outPath()).size());
    QFile::remove(outPath());
}

// The feed check runs before every export and upload: it must cost less
// than the build it precedes.
void BM_FeedCheck(benchmark::State& state)
{
    const FeedDocument& d = largeProject();
    FeedCheck::Options options;
    // After the last entry's date: a project of past news.
    options.now = QDateTime(QDate(2025, 6, 15), QTime(12, 0), Qt::UTC);
    options.localZone = QTimeZone("Europe/Berlin");
    qsizetype findings = 0;
    for (auto _ : state)
        findings = FeedCheck::run(d, options).size();
    state.counters["findings"] = double(findings);
}

// The document written into memory, without a file.
void BM_WriteRSS20Memory(benchmark::State& state)
{
    const FeedDocument& d = largeProject();
    qsizetype bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        Rss20::RssWriter writer([&bytes](const char*, qsizetype size) { bytes += size; },
                                QTimeZone("Europe/Berlin"));
        Rss20::WriteRSS20(d, writer);
    }
    benchmark::DoNotOptimize(bytes);
}

// The same tree straight in pugixml from UTF-8 strings made beforehand.
struct PlainEntry
{
    std::string title, link, content, author, guid, pubDate;
};

void buildPugiTree(pugi::xml_document& doc, const std::vector<PlainEntry>& entries)
{
    doc.reset();
    pugi::xml_node rss = doc.append_child("rss");
    rss.append_attribute("version") = "2.0";
    pugi::xml_node channel = rss.append_child("channel");
    channel.append_child("title").text() = "Neues aus dem Heimatverein";
    channel.append_child("link").text() = "https://example.org/";
    channel.append_child("description").text() = entries.front().content.c_str();
    channel.append_child("pubDate").text() = entries.front().pubDate.c_str();
    channel.append_child("generator").text() = "Tavistrel 1.0";
    channel.append_child("ttl").text() = "0";
    channel.append_child("language").text() = "de-de";
    for (const PlainEntry& e : entries) {
        pugi::xml_node item = channel.append_child("item");
        item.append_child("title").text() = e.title.c_str();
        item.append_child("description").text() = e.content.c_str();
        item.append_child("link").text() = e.link.c_str();
        item.append_child("author").text() = e.author.c_str();
        item.append_child("guid").text() = e.guid.c_str();
        item.append_child("pubDate").text() = e.pubDate.c_str();
    }
}

std::vector<PlainEntry> plainEntries()
{
    std::vector<PlainEntry> entries;
    const FeedDocument& d = largeProject();
    for (int i = 0; i < d.entries.size(); ++i) {
        const TNewsEntry& e = d.entries.at(i);
        entries.push_back({e.title.toStdString(), e.link.toStdString(), e.content.toStdString(),
                           (e.email + QStringLiteral(" (") + e.author + u')').toStdString(),
                           e.guid.toStdString(),
                           GetRSSTimeString(QDateTime(e.date, e.time, Qt::UTC)).toStdString()});
    }
    return entries;
}

void BM_PugixmlSaveOnly(benchmark::State& state)
{
    pugi::xml_document doc;
    buildPugiTree(doc, plainEntries());
    const std::string path = outPath().toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            doc.save_file(path.c_str(), "  ", pugi::format_indent | pugi::format_no_declaration));
    setBytes(state, QFile(outPath()).size());
    QFile::remove(outPath());
}

void BM_PugixmlBuildAndSave(benchmark::State& state)
{
    const std::vector<PlainEntry> entries = plainEntries();
    const std::string path = outPath().toStdString();
    pugi::xml_document doc;
    for (auto _ : state) {
        buildPugiTree(doc, entries);
        benchmark::DoNotOptimize(
            doc.save_file(path.c_str(), "  ", pugi::format_indent | pugi::format_no_declaration));
    }
    setBytes(state, QFile(outPath()).size());
    QFile::remove(outPath());
}

} // namespace

BENCHMARK(BM_GenerateRSS20Text)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateRSS20File)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteRSS20Memory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FeedCheck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlSaveOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlBuildAndSave)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
