// Load and save of a large project beside pugixml's bare parse and
// serialisation of the same file.
#include "document/ProjectFile.h"
#include "platform/RegionalSettings.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <pugixml.hpp>

namespace {

QString entryHtml(int n)
{
    QString html = QStringLiteral("<p>Meldung Nr. %1 mit <b>fettem</b> Text und einem "
                                  "<a href=\"https://example.org/%1\">Link</a>.</p>\r\n")
                       .arg(n);
    while (html.size() < 1000)
        html += QStringLiteral("Weitere Zeile mit Umlauten äöü und Zeichen <&> im Text.\r\n");
    return html;
}

struct Fixture
{
    QTemporaryDir dir;
    QString path;
    FeedDocument document;

    Fixture()
    {
        RegionalSettings::setCurrent(RegionalSettings::german());
        document.renewDatesAndGuid(QDateTime(QDate(2024, 7, 1), QTime(12, 0)));
        for (int i = 0; i < 10000; ++i) {
            auto e = std::make_unique<TNewsEntry>();
            e->title = QStringLiteral("Titel %1").arg(i);
            e->link = QStringLiteral("https://example.org/news/%1").arg(i);
            e->content = entryHtml(i);
            e->author = QStringLiteral("Redaktion");
            e->email = QStringLiteral("redaktion@example.org");
            e->guid =
                QStringLiteral("{00000000-0000-0000-0000-%1}").arg(i, 12, 10, QLatin1Char('0'));
            e->chkPublish = true;
            e->date = QDate(2024, 1, 1).addDays(i % 365);
            e->time = QTime(8, 30, 15);
            document.entries.append(std::move(e));
        }
        path = dir.filePath(QStringLiteral("big.tvst"));
        ProjectFile::SaveProjectFile(document, path);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_SaveProjectFile(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString out = f.dir.filePath(QStringLiteral("out.tvst"));
    for (auto _ : state)
        ProjectFile::SaveProjectFile(f.document, out);
}
BENCHMARK(BM_SaveProjectFile)->Unit(benchmark::kMillisecond);

void BM_LoadProjectFile(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        FeedDocument doc = ProjectFile::LoadProjectFile(f.path);
        benchmark::DoNotOptimize(doc.entries.size());
    }
}
BENCHMARK(BM_LoadProjectFile)->Unit(benchmark::kMillisecond);

void BM_BarePugixmlParse(benchmark::State& state)
{
    Fixture& f = fixture();
    const QByteArray path = f.path.toLocal8Bit();
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(
            doc.load_file(path.constData(), pugi::parse_default | pugi::parse_comments));
    }
}
BENCHMARK(BM_BarePugixmlParse)->Unit(benchmark::kMillisecond);

void BM_BarePugixmlSave(benchmark::State& state)
{
    Fixture& f = fixture();
    pugi::xml_document doc;
    doc.load_file(f.path.toLocal8Bit().constData());
    const QByteArray out = f.dir.filePath(QStringLiteral("bare.xml")).toLocal8Bit();
    for (auto _ : state)
        doc.save_file(out.constData(), "  ", pugi::format_indent | pugi::format_no_declaration);
}
BENCHMARK(BM_BarePugixmlSave)->Unit(benchmark::kMillisecond);

// The same tree built by hand from ready UTF-8 text, then saved: the bare
// cost of building what SaveProjectFile builds.
void BM_BarePugixmlBuildAndSave(benchmark::State& state)
{
    Fixture& f = fixture();
    pugi::xml_document parsed;
    parsed.load_file(f.path.toLocal8Bit().constData());
    const QByteArray out = f.dir.filePath(QStringLiteral("bare2.xml")).toLocal8Bit();
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_node root = doc.append_child("xml");
        for (pugi::xml_node src = parsed.document_element().first_child(); src;
             src = src.next_sibling())
            root.append_copy(src);
        doc.save_file(out.constData(), "  ", pugi::format_indent | pugi::format_no_declaration);
    }
}
BENCHMARK(BM_BarePugixmlBuildAndSave)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // Keep freed memory in the process: otherwise every iteration pays the
    // kernel for fresh pages, which swamps what is measured here.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
