// The main window with 100,000 entries: moving an entry (up to the next
// frame drawn) and saving the project, beside pugixml building and saving a
// tree of the same entries. Counter RSS_MiB: the process's resident memory.
//
// Memory (counters of BM_MoveAt100k): EmptyWindow_MiB before any project,
// WithData_MiB with the entries built beside it, Filled_MiB once the window
// holds and shows them; BareWindow_MiB is the peak of the floor program (a
// bare Qt Widgets window) in the same run, and EditorOverBare is the window
// without the project's own data over it:
//   (Filled - (WithData - EmptyWindow)) / BareWindow, goal at most 2.
// Reloaded_MiB and ReloadedOverBare: the same after the window saved the
// project and read it back from its file.
#include "app/uMain.h"
#include "document/ProjectFile.h"
#include "platform/RegionalSettings.h"
#include "support/FakeInteraction.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <pugixml.hpp>

namespace {

constexpr int kEntries = 100000;

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// The median peak of the bare window program over a few runs, read by
// /usr/bin/time so that none of this process's pages count.
double bareWindowMiB(const QString& scratch)
{
    const QString peakFile = scratch + QStringLiteral("/floor_window_peak.txt");
    std::vector<double> peaks;
    for (int run = 0; run < 5; ++run) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral("/usr/bin/time"),
                      {QStringLiteral("-f"), QStringLiteral("%M"), QStringLiteral("-o"), peakFile,
                       QStringLiteral(TAVISTREL_BIN_DIR "/floor_window"),
                       QStringLiteral("--quit-when-shown")});
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return 0;
        QFile peak(peakFile);
        if (peak.open(QIODevice::ReadOnly))
            peaks.push_back(peak.readAll().trimmed().toDouble() / 1024.0);
    }
    std::sort(peaks.begin(), peaks.end());
    return peaks.empty() ? 0 : peaks[peaks.size() / 2];
}

TNewsEntry makeEntry(int i)
{
    TNewsEntry e;
    e.title = QStringLiteral("Titel %1").arg(i);
    e.link = QStringLiteral("https://example.org/news/%1").arg(i);
    e.content = QStringLiteral("<p>Meldung Nr. %1 mit <b>fettem</b> Text, Umlauten äöü und "
                               "Zeichen <&> im Text.</p>\r\n<p>Zweiter Absatz.</p>")
                    .arg(i);
    e.author = QStringLiteral("Redaktion");
    e.email = QStringLiteral("redaktion@example.org");
    e.guid = QStringLiteral("{00000000-0000-0000-0000-%1}").arg(i, 12, 10, QLatin1Char('0'));
    e.chkPublish = true;
    e.date = QDate(2024, 1, 1).addDays(i % 365);
    e.time = QTime(8, 30, 15);
    return e;
}

struct Fixture
{
    QTemporaryDir dir;
    FakeInteraction ui;
    std::unique_ptr<TForm1> form;
    double emptyWindowMiB = 0;
    double withDocumentMiB = 0; // the empty window and the project's own data
    double filledWindowMiB = 0;
    double bareWindowMiB = 0;
    double reloadedWindowMiB = 0;

    Fixture()
    {
        bareWindowMiB = ::bareWindowMiB(dir.path());
        RegionalSettings::setCurrent(RegionalSettings::german());
        TForm1::Options options;
        options.showSplash = false;
        form = std::make_unique<TForm1>(ui, options);
        form->show();
        QCoreApplication::processEvents();
        emptyWindowMiB = residentMiB();
        FeedDocument document = form->documentFromControls();
        for (int i = 0; i < kEntries; ++i)
            document.entries.append(std::make_unique<TNewsEntry>(makeEntry(i)));
        withDocumentMiB = residentMiB();
        // As a load does: the entries move into the window.
        form->applyToControls(std::move(document));
        document = FeedDocument();
        QCoreApplication::processEvents();
        filledWindowMiB = residentMiB();
        // The same project written and read back through the window, as a
        // user's save and open would.
        const QString file = dir.filePath(QStringLiteral("neu_geladen.tvst"));
        form->SaveProjectFile(file);
        form->LoadProjectFile(file);
        QCoreApplication::processEvents();
        reloadedWindowMiB = residentMiB();
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_MoveAt100k(benchmark::State& state)
{
    Fixture& f = fixture();
    f.form->selectEntry(kEntries / 2);
    QCoreApplication::processEvents();
    bool up = true;
    for (auto _ : state) {
        if (up)
            f.form->btUpClick();
        else
            f.form->btDownClick();
        up = !up;
        QCoreApplication::processEvents();
    }
    state.counters["RSS_MiB"] = residentMiB();
    state.counters["EmptyWindow_MiB"] = f.emptyWindowMiB;
    state.counters["WithData_MiB"] = f.withDocumentMiB;
    state.counters["Filled_MiB"] = f.filledWindowMiB;
    state.counters["BareWindow_MiB"] = f.bareWindowMiB;
    state.counters["Reloaded_MiB"] = f.reloadedWindowMiB;
    const double dataMiB = f.withDocumentMiB - f.emptyWindowMiB;
    if (f.bareWindowMiB > 0) {
        state.counters["EditorOverBare"] = (f.filledWindowMiB - dataMiB) / f.bareWindowMiB;
        state.counters["ReloadedOverBare"] = (f.reloadedWindowMiB - dataMiB) / f.bareWindowMiB;
    }
}

void BM_SaveAt100k(benchmark::State& state)
{
    Fixture& f = fixture();
    const QString path = f.dir.filePath(QStringLiteral("gross.tvst"));
    for (auto _ : state)
        f.form->SaveProjectFile(path);
    state.counters["RSS_MiB"] = residentMiB();
}

// The floor: the same entries as a pugixml tree, built and saved.
void BM_FloorPugixmlBuildAndSave100k(benchmark::State& state)
{
    std::vector<TNewsEntry> entries;
    entries.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i)
        entries.push_back(makeEntry(i));
    const QString path = fixture().dir.filePath(QStringLiteral("floor.xml"));
    const RegionalSettings& regional = RegionalSettings::current();
    for (auto _ : state) {
        pugi::xml_document doc;
        pugi::xml_node items =
            doc.append_child("xml").append_child("FileContent").append_child("ItemList");
        auto add = [](pugi::xml_node node, const char* name, const QString& text) {
            node.append_child(name)
                .append_child(pugi::node_pcdata)
                .set_value(text.toUtf8().constData());
        };
        for (const TNewsEntry& e : entries) {
            pugi::xml_node n = items.append_child("entries");
            add(n, "title", e.title);
            add(n, "link", e.link);
            add(n, "content", e.content);
            add(n, "author", e.author);
            add(n, "email", e.email);
            add(n, "homepage", e.homepage);
            add(n, "guid", e.guid);
            add(n, "date", regional.formatDate(e.date));
            add(n, "time", regional.formatTime(e.time));
            add(n, "fileUrl", e.fileUrl);
            add(n, "filesize", e.filesize);
            add(n, "mime", e.mime);
            add(n, "chkPublish", QStringLiteral("True"));
        }
        doc.save_file(path.toUtf8().constData());
    }
}

} // namespace

BENCHMARK(BM_MoveAt100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAt100k)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FloorPugixmlBuildAndSave100k)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
