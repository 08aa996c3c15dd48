// Whole-process runs of the program beside their floors, each measured in
// the same run: wall time (manual time) and peak resident memory (counter
// PeakRSS_MiB, from /usr/bin/time).
//   --export-rss of 10,000 entries   beside pugixml parsing and writing the same RSS
//   --version                        its memory alone (goal: under 20 MiB)
//   the editor up to its window      beside a bare Qt Widgets main window
#include "document/ProjectFile.h"
#include "platform/RegionalSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

const std::string kBin = TAVISTREL_BIN_DIR;

struct RunResult
{
    double seconds = 0;
    double peakMiB = 0;
    int status = -1;
};

// Run under /usr/bin/time: the peak memory of a child spawned from this
// (large) process would count this process's pages from before the exec.
RunResult runProcess(const std::vector<std::string>& command,
                     const std::vector<std::string>& extraEnv)
{
    static const std::string peakFile =
        QDir::temp().filePath(QStringLiteral("bench_process_peak.txt")).toStdString();
    std::vector<std::string> argv = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
    argv.insert(argv.end(), command.begin(), command.end());
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStore(extraEnv);
    for (char** e = environ; *e; ++e)
        envStore.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& e : envStore)
        env.push_back(e.data());
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    RunResult result;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    QFile peak(QString::fromStdString(peakFile));
    if (peak.open(QIODevice::ReadOnly))
        result.peakMiB = peak.readAll().trimmed().toDouble() / 1024.0;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

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
    std::string project;
    std::string rss;
    std::string out;

    Fixture()
    {
        RegionalSettings::setCurrent(RegionalSettings::german());
        FeedDocument document;
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
        project = dir.filePath(QStringLiteral("big.tvst")).toStdString();
        rss = dir.filePath(QStringLiteral("big_rss.xml")).toStdString();
        out = dir.filePath(QStringLiteral("out.xml")).toStdString();
        ProjectFile::SaveProjectFile(document, QString::fromStdString(project));
        // BENCH_KEEP_FILES=1 keeps the files for a profiler run.
        if (qEnvironmentVariableIsSet("BENCH_KEEP_FILES")) {
            dir.setAutoRemove(false);
            std::fprintf(stderr, "files in %s\n", qPrintable(dir.path()));
        }
        runProcess({kBin + "/tavistrel", "--export-rss", project, rss}, {"TZ=UTC"});
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void measure(benchmark::State& state, const std::vector<std::string>& argv,
             const std::vector<std::string>& env)
{
    std::vector<double> peaks;
    for (auto _ : state) {
        const RunResult r = runProcess(argv, env);
        if (r.status != 0) {
            state.SkipWithError("the process failed");
            return;
        }
        state.SetIterationTime(r.seconds);
        peaks.push_back(r.peakMiB);
    }
    std::sort(peaks.begin(), peaks.end());
    state.counters["PeakRSS_MiB"] = peaks.empty() ? 0 : peaks[peaks.size() / 2];
}

void BM_ExportRss10k(benchmark::State& state)
{
    const Fixture& f = fixture();
    measure(state, {kBin + "/tavistrel", "--export-rss", f.project, f.out}, {"TZ=UTC"});
}

void BM_FloorPugixmlRss10k(benchmark::State& state)
{
    const Fixture& f = fixture();
    measure(state, {kBin + "/floor_pugixml_rss", f.rss, f.out}, {});
}

void BM_Version(benchmark::State& state)
{
    measure(state, {kBin + "/tavistrel", "--version"}, {});
}

const std::vector<std::string> kWindowEnv = {"QT_QPA_PLATFORM=offscreen",
                                             "TAVISTREL_QUIT_AFTER_START=1"};

void BM_EditorStartup(benchmark::State& state)
{
    measure(state, {kBin + "/tavistrel"}, kWindowEnv);
}

void BM_FloorWindowStartup(benchmark::State& state)
{
    measure(state, {kBin + "/floor_window", "--quit-when-shown"}, kWindowEnv);
}

} // namespace

BENCHMARK(BM_ExportRss10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_FloorPugixmlRss10k)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_Version)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_EditorStartup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_FloorWindowStartup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

BENCHMARK_MAIN();
