#include "CommandLine.h"

#include "document/ProjectFile.h"
#include "output/Rss20.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

namespace CommandLine {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

void fail(const QString& text)
{
    print(stderr, QStringLiteral("tavistrel: ") + text);
}

const QString kUsage =
    QStringLiteral("Aufruf:\n"
                   "  tavistrel [PROJEKT.tvst]\n"
                   "      Startet den Editor und öffnet das Projekt, falls angegeben.\n"
                   "  tavistrel --export-rss PROJEKT.tvst [AUSGABE.xml]\n"
                   "      Schreibt die RSS-Datei des Projekts, ohne ein Fenster zu öffnen. Ohne\n"
                   "      AUSGABE landet sie neben dem Projekt, unter dem RSS-Dateinamen des\n"
                   "      Projekts (z. B. rss.xml). Eine bestehende Datei wird ersetzt.\n"
                   "  tavistrel --help\n"
                   "      Zeigt diese Hilfe.\n"
                   "  tavistrel --version\n"
                   "      Zeigt die Version.\n"
                   "\n"
                   "Rückgabewert: 0 bei Erfolg, 1 wenn das Projekt nicht gelesen oder die\n"
                   "RSS-Datei nicht geschrieben werden konnte, 2 bei falschem Aufruf.");

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

// The RSS file name setting names the file on the FTP server; beside the
// project it may only be a plain file name, so that a project from elsewhere
// cannot place its output in another folder.
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/');
}

int exportRss(const QStringList& args)
{
    if (args.size() < 1 || args.size() > 2) {
        fail(QStringLiteral("--export-rss erwartet eine Projektdatei und optional eine "
                            "Ausgabedatei.\nAufruf: tavistrel --export-rss PROJEKT.tvst "
                            "[AUSGABE.xml]"));
        return kUsageError;
    }
    const QString projectPath = args[0];
    if (!QFileInfo(projectPath).isFile()) {
        fail(QStringLiteral("Die Projektdatei \"%1\" existiert nicht.").arg(projectPath));
        return kFailure;
    }

    FeedDocument document;
    try {
        document = ProjectFile::LoadProjectFile(projectPath);
    } catch (const Error& e) {
        fail(QStringLiteral("Die Projektdatei \"%1\" kann nicht gelesen werden. %2\n(%3)")
                 .arg(projectPath, kNotAProjectFileMessage, e.message()));
        return kFailure;
    }

    QString outPath;
    if (args.size() == 2) {
        outPath = args[1];
    } else {
        const QString name = document.text(u"edtFileNameRSS");
        if (!isPlainFileName(name)) {
            fail(QStringLiteral("Der RSS-Dateiname \"%1\" des Projekts \"%2\" ist kein "
                                "einfacher Dateiname; bitte eine Ausgabedatei angeben.")
                     .arg(name, projectPath));
            return kUsageError;
        }
        outPath = QFileInfo(projectPath).absoluteDir().filePath(name);
    }

    // Replacing the project with its own feed would lose the project.
    if (QFileInfo(outPath).canonicalFilePath() == QFileInfo(projectPath).canonicalFilePath()) {
        fail(QStringLiteral("Die Ausgabedatei \"%1\" ist die Projektdatei selbst; sie wird "
                            "nicht überschrieben.")
                 .arg(outPath));
        return kUsageError;
    }

    try {
        Rss20::GenerateRSS20(document, outPath);
    } catch (const Error& e) {
        fail(e.message());
        return kFailure;
    }
    print(stdout, QStringLiteral("RSS-Datei geschrieben: %1")
                      .arg(QDir::toNativeSeparators(QFileInfo(outPath).absoluteFilePath())));
    return kSuccess;
}

// Each mode: its option and the handler that gets the arguments after it.
struct Mode
{
    const char* option;
    int (*handler)(const QStringList& rest);
};

constexpr Mode kModes[] = {
    {"--export-rss", exportRss},
    {"--help", showHelp},
    {"--version", showVersion},
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
    return argc >= 2 && findMode(argv[1]) != nullptr;
}

int run(const QStringList& arguments)
{
    const Mode* mode =
        arguments.size() >= 2 ? findMode(arguments[1].toUtf8().constData()) : nullptr;
    if (!mode) {
        fail(QStringLiteral("Unbekannter Aufruf. Hilfe: tavistrel --help"));
        return kUsageError;
    }
    return mode->handler(arguments.mid(2));
}

} // namespace CommandLine
