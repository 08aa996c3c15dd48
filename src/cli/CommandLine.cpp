#include "CommandLine.h"

#include "ImportCommand.h"
#include "document/ProjectFile.h"
#include "ftp/PublishJob.h"
#include "output/FeedCheck.h"
#include "output/FeedVerify.h"
#include "output/Rss20.h"
#include "platform/FileAccess.h"
#include "platform/Folders.h"
#include "platform/WholeNumber.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace CommandLine {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr int kFeedHasErrors = 3;

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

void fail(const QString& text)
{
    print(stderr, QStringLiteral("tavistrel: ") + text);
}

const QString kUsage = QStringLiteral(
    "Aufruf:\n"
    "  tavistrel [PROJEKT.tvst]\n"
    "      Startet den Editor und öffnet das Projekt, falls angegeben.\n"
    "  tavistrel --export-rss PROJEKT.tvst [AUSGABE.xml]\n"
    "      Schreibt die RSS-Datei des Projekts, ohne ein Fenster zu öffnen. Ohne\n"
    "      AUSGABE landet sie neben dem Projekt, unter dem RSS-Dateinamen des\n"
    "      Projekts (z. B. rss.xml). Eine bestehende Datei wird ersetzt; \"-\" als\n"
    "      AUSGABE schreibt auf die Standardausgabe.\n"
    "  tavistrel --upload PROJEKT.tvst\n"
    "      Erzeugt die RSS-Datei des Projekts und lädt sie mit den FTP-Einstellungen\n"
    "      des Projekts hoch. Das Protokoll erscheint auf der Standardausgabe.\n"
    "  tavistrel --check PROJEKT.tvst\n"
    "      Prüft den Feed des Projekts und nennt je Zeile einen Fehler oder eine\n"
    "      Warnung mit ihrem Ort (Einstellung oder Eintrag N/Feld). Rückgabewert 3,\n"
    "      wenn Fehler gefunden wurden.\n"
    "  tavistrel --import QUELLE ZIEL.tvst [--force]\n"
    "      Liest einen Feed (RSS 0.9x, 2.0, 1.0 oder Atom) aus einer Datei oder von\n"
    "      einer http- oder https-Adresse in eine neue Projektdatei. Was keinen\n"
    "      Platz fand, steht auf der Standardfehlerausgabe. Eine bestehende\n"
    "      Projektdatei wird nur mit --force ersetzt.\n"
    "  tavistrel --help\n"
    "      Zeigt diese Hilfe.\n"
    "  tavistrel --version\n"
    "      Zeigt die Version.\n"
    "\n"
    "Rückgabewert: 0 bei Erfolg, 1 wenn das Projekt nicht gelesen, die\n"
    "RSS-Datei nicht geschrieben oder nicht hochgeladen werden konnte, 2 bei\n"
    "falschem Aufruf.");

int showHelp(const QStringList&)
{
    print(stdout, kUsage);
    return kSuccess;
}

int showVersion(const QStringList&)
{
    print(stdout, QStringLiteral("Tavistrel " TAVISTREL_VERSION));
    return kSuccess;
}

// Reads a project file for a headless mode; reports the failure itself
// (null then). The document is never freed: the process ends after the mode,
// and taking a large entry list apart costs more than the system's cleanup.
const FeedDocument* readProject(const QString& projectPath)
{
    try {
        return new FeedDocument(ProjectFile::LoadProjectFile(projectPath));
    } catch (const ProjectFileUnreadable& e) {
        fail(e.message());
    } catch (const Error& e) {
        fail(QStringLiteral("Die Projektdatei \"%1\" kann nicht gelesen werden. %2\n(%3)")
                 .arg(projectPath, kNotAProjectFileMessage, e.message()));
    }
    return nullptr;
}

// Prints the findings of the feed check, then their count; returns the
// number of Fehler.
int printFindings(std::FILE* stream, const QList<FeedCheck::Finding>& findings)
{
    for (const FeedCheck::Finding& finding : findings)
        print(stream, finding.line());
    print(stream, FeedCheck::summary(findings));
    return FeedCheck::errorCount(findings);
}

int check(const QStringList& args)
{
    if (args.size() != 1) {
        fail(QStringLiteral("--check erwartet eine Projektdatei.\n"
                            "Aufruf: tavistrel --check PROJEKT.tvst"));
        return kUsageError;
    }
    // Entry by entry where the file allows; the findings come at the end,
    // so the whole read can still take over and word a problem.
    std::optional<FeedCheck::Checker> checker;
    const bool streamed = ProjectFile::StreamProjectFile(
        args[0], [&checker](const FeedDocument& channel) { checker.emplace(channel); },
        [&checker](const TNewsEntry& entry) { checker->addEntry(entry); });
    if (streamed)
        return printFindings(stdout, checker->finish()) > 0 ? kFeedHasErrors : kSuccess;
    const FeedDocument* document = readProject(args[0]);
    if (!document)
        return kFailure;
    return printFindings(stdout, FeedCheck::run(*document)) > 0 ? kFeedHasErrors : kSuccess;
}

// The RSS file name setting names the file on the FTP server; beside the
// project it may only be a plain file name, so that a project from elsewhere
// cannot place its output in another folder.
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/');
}

int writeRssToStandardOutput(const FeedDocument& document)
{
    try {
        FileAccess::DirectWriter out(STDOUT_FILENO, QStringLiteral("Standardausgabe"));
        Rss20::RssWriter writer(
            [&out](const char* data, qsizetype size) { out.write(data, size); });
        Rss20::WriteRSS20(document, writer);
    } catch (const Error& e) {
        fail(e.message());
        return kFailure;
    }
    return kSuccess;
}

// Where --export-rss writes, or why it refuses (message and exit code).
struct OutputTarget
{
    QString path;
    QString refusal;
    int code = kSuccess;
};

OutputTarget rssOutputTarget(const QStringList& args, const FeedDocument& document)
{
    const QString projectPath = args[0];
    QString outPath;
    if (args.size() == 2) {
        outPath = args[1];
    } else {
        const QString name = document.text(u"edtFileNameRSS");
        if (!isPlainFileName(name))
            return {{},
                    QStringLiteral("Der RSS-Dateiname \"%1\" des Projekts \"%2\" ist kein "
                                   "einfacher Dateiname; bitte eine Ausgabedatei angeben.")
                        .arg(name, projectPath),
                    kUsageError};
        outPath = QFileInfo(projectPath).absoluteDir().filePath(name);
        // A foreign project's RSS file name must not replace a project beside it.
        if (name.endsWith(QStringLiteral(".tvst"), Qt::CaseInsensitive) ||
            ProjectFile::looksLikeProjectFile(outPath))
            return {{},
                    QStringLiteral("Der RSS-Dateiname \"%1\" des Projekts \"%2\" bezeichnet "
                                   "eine Projektdatei; sie wird nicht überschrieben. Bitte eine "
                                   "Ausgabedatei angeben.")
                        .arg(name, projectPath),
                    kUsageError};
    }
    // Replacing the project with its own feed would lose the project.
    if (outPath != u"-" &&
        QFileInfo(outPath).canonicalFilePath() == QFileInfo(projectPath).canonicalFilePath())
        return {{},
                QStringLiteral("Die Ausgabedatei \"%1\" ist die Projektdatei selbst; sie wird "
                               "nicht überschrieben.")
                    .arg(outPath),
                kUsageError};
    return {outPath, {}, kSuccess};
}

void printWritten(const QString& outPath)
{
    print(stdout, QStringLiteral("RSS-Datei geschrieben: %1")
                      .arg(QDir::toNativeSeparators(QFileInfo(outPath).absoluteFilePath())));
}

// Thrown to leave the streamed export for the whole read.
struct NotStreamed
{
};

// The export entry by entry into a temporary file renamed at the end, for
// the ordinary case: the project is never held whole. Returns nullopt, with
// nothing written or printed, whenever the whole read must decide (the
// file is unusual or has an error, the target refused or not a regular
// file, a write failed); that read then says what is wrong.
std::optional<int> exportRssStreamed(const QStringList& args)
{
    std::optional<FileAccess::SaveWriter> file;
    std::optional<Rss20::RssWriter> writer;
    std::optional<FeedCheck::Checker> checker;
    QString outPath;
    try {
        const bool read = ProjectFile::StreamProjectFile(
            args[0],
            [&](const FeedDocument& channel) {
                const OutputTarget target = rssOutputTarget(args, channel);
                if (target.code != kSuccess || target.path == u"-" ||
                    FileAccess::isSpecialFile(target.path))
                    throw NotStreamed();
                outPath = target.path;
                file.emplace(outPath);
                writer.emplace(
                    [&file](const char* data, qsizetype size) { file->write(data, size); });
                checker.emplace(channel);
                writer->writeChannel(channel);
            },
            [&](const TNewsEntry& entry) {
                checker->addEntry(entry);
                writer->writeItem(entry);
            });
        if (!read)
            return std::nullopt;
        writer->finish();
        file->commit();
    } catch (const NotStreamed&) {
        return std::nullopt;
    } catch (const Error&) {
        return std::nullopt;
    }
    // Scripts keep working: the findings are news, not a refusal.
    printFindings(stderr, checker->finish());
    printWritten(outPath);
    return kSuccess;
}

int exportRss(const QStringList& args)
{
    if (args.size() < 1 || args.size() > 2) {
        fail(QStringLiteral("--export-rss erwartet eine Projektdatei und optional eine "
                            "Ausgabedatei.\nAufruf: tavistrel --export-rss PROJEKT.tvst "
                            "[AUSGABE.xml]"));
        return kUsageError;
    }
    if (const std::optional<int> code = exportRssStreamed(args))
        return *code;

    const FeedDocument* read = readProject(args[0]);
    if (!read)
        return kFailure;
    const FeedDocument& document = *read;
    const OutputTarget target = rssOutputTarget(args, document);
    if (target.code != kSuccess) {
        fail(target.refusal);
        return target.code;
    }
    if (target.path == u"-")
        return writeRssToStandardOutput(document);

    // Scripts keep working: the findings are news, not a refusal.
    printFindings(stderr, FeedCheck::run(document));
    try {
        Rss20::GenerateRSS20(document, target.path);
    } catch (const Error& e) {
        fail(e.message());
        return kFailure;
    }
    printWritten(target.path);
    return kSuccess;
}

// Ctrl+C (SIGINT) and SIGTERM while it lives call `onSignal` on a thread
// of its own, so the upload can clean up and end on its own terms.
class InterruptWatch
{
public:
    explicit InterruptWatch(std::function<void()> onSignal)
    {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, &m_previous);
        m_thread = std::thread([this, onSignal = std::move(onSignal)] {
            const timespec tick{0, 100 * 1000 * 1000};
            while (!m_done.load()) {
                if (sigtimedwait(&m_signals, nullptr, &tick) > 0)
                    onSignal();
            }
        });
    }
    ~InterruptWatch()
    {
        m_done.store(true);
        m_thread.join();
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }

private:
    sigset_t m_signals, m_previous;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Builds the project's RSS file and uploads it with the project's FTP
// settings. The log goes to standard output as the editor's log window shows
// it (the password never appears); 0 only when the file was stored. Never
// asks: an untrusted server ends it with its fingerprint in the message.
int upload(const QStringList& args)
{
    if (args.size() != 1) {
        fail(QStringLiteral("--upload erwartet eine Projektdatei.\n"
                            "Aufruf: tavistrel --upload PROJEKT.tvst"));
        return kUsageError;
    }
    const FeedDocument* document = readProject(args[0]);
    if (!document)
        return kFailure;
    const FtpPublish::Settings settings = FtpPublish::settingsFromDocument(*document);
    if (const QString problem = FtpPublish::uploadSettingsProblem(settings); !problem.isEmpty()) {
        fail(problem);
        return kFailure;
    }
    printFindings(stderr, FeedCheck::run(*document));
    try {
        const QString path = Folders::privateTempFolder() + QStringLiteral("tvst_temp.xml");
        Rss20::GenerateRSS20(*document, path);
        const auto log = [](const QString& line) {
            print(stdout, line);
            std::fflush(stdout);
        };
        PublishJob job(settings, log);
        bool stored = false;
        {
            InterruptWatch watch([&job] { job.abort(); });
            stored = job.upload(path);
        }
        // Only a line in the log: the upload itself did succeed.
        if (const QString feedUrl = document->text(u"edtFeedUrl"); stored && !feedUrl.isEmpty())
            log(FeedVerify::VerifyUploadedFile(feedUrl, path).line);
        return stored ? kSuccess : kFailure;
    } catch (const Error& e) {
        fail(e.message());
        return kFailure;
    }
}

// Each mode: its option and the handler that gets the arguments after it.
struct Mode
{
    const char* option;
    int (*handler)(const QStringList& rest);
};

constexpr Mode kModes[] = {
    {"--export-rss", exportRss}, {"--upload", upload},       {"--check", check},
    {"--help", showHelp},        {"--version", showVersion}, {"--import", importFeed},
};

const Mode* findMode(const char* option)
{
    for (const Mode& mode : kModes)
        if (std::strcmp(mode.option, option) == 0)
            return &mode;
    return nullptr;
}

} // namespace

bool isHeadless(int argc, char** argv)
{
    // Every "--" option, known or not: a wrong call gets its German answer
    // without loading any window.
    return argc >= 2 && std::strncmp(argv[1], "--", 2) == 0;
}

int run(const QStringList& arguments)
{
    const Mode* mode =
        arguments.size() >= 2 ? findMode(arguments[1].toUtf8().constData()) : nullptr;
    if (!mode && arguments.size() >= 2 && arguments[1].startsWith(u"--")) {
        fail(QStringLiteral("Unbekannte Option \"%1\". Hilfe: tavistrel --help").arg(arguments[1]));
        return kUsageError;
    }
    if (!mode) {
        fail(QStringLiteral("Unbekannter Aufruf. Hilfe: tavistrel --help"));
        return kUsageError;
    }
    return mode->handler(arguments.mid(2));
}

} // namespace CommandLine
