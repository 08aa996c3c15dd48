#include "document/ProjectFile.h"
#include "output/Rss20.h"
#include "platform/RegionalSettings.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// The program run as a user would run it: its own process, no display, a
// locale whose date order differs from the project's, and a zone with
// daylight saving time.
namespace {

using Result = ProgramRun;

// A folder with a small project that has a publication date and one entry.
struct Workspace
{
    Workspace()
    {
        project.setText(u"edtFeedTitle", QStringLiteral("Vereinsnachrichten"));
        project.setFlag(u"chkPublish", true);
        project.setDate(u"datePublish", QDate(2024, 1, 15));
        project.setTime(u"publishTime", QTime(10, 0));
        auto entry = std::make_unique<TNewsEntry>();
        entry->title = QStringLiteral("Sommerfest");
        project.entries.append(std::move(entry));
    }
    void saveProject() { ProjectFile::SaveProjectFile(project, projectPath); }

    QTemporaryDir dir;
    FeedDocument project;
    QString projectPath = dir.filePath(QStringLiteral("verein.tvst"));
};

class CommandLineTest : public ::testing::Test
{
protected:
    void SetUp() override { RegionalSettings::setCurrent(RegionalSettings::german()); }
    void TearDown() override { RegionalSettings::resetToSystem(); }
};

TEST_F(CommandLineTest, ExportWritesTheGivenFile)
{
    Workspace w;
    w.saveProject();
    const QString out = w.dir.filePath(QStringLiteral("ausgabe.xml"));
    const Result r = runHeadless({"--export-rss", w.projectPath, out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The feed check's findings go to standard error; the export goes on.
    EXPECT_TRUE(r.err.startsWith(u"Fehler: edtLink: ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith(u"\n3 Fehler, 0 Warnungen\n")) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(out)) << r.out.toStdString();
    const QByteArray written = readFile(out);
    EXPECT_EQ(QString::fromUtf8(written),
              Rss20::GenerateRSS20(w.project, QTimeZone("Europe/Berlin")));
    // 10:00 in Berlin winter time is 09:00 UTC.
    EXPECT_TRUE(written.contains("<pubDate>Mon, 15 Jan 2024 09:00:00 GMT</pubDate>"));
}

TEST_F(CommandLineTest, ExportWithoutOutputGoesBesideTheProject)
{
    Workspace w;
    w.project.setText(u"edtFileNameRSS", QStringLiteral("feed.xml"));
    w.saveProject();
    const QString out = w.dir.filePath(QStringLiteral("feed.xml"));
    writeFile(out, "alt");
    const Result r = runHeadless({"--export-rss", w.projectPath});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(readFile(out).contains("<title>Sommerfest</title>"));
}

struct FailureCase
{
    const char* label;
    // Prepares the folder; returns the arguments after --export-rss.
    std::function<QStringList(Workspace&, const QString& out)> setup;
    int exitCode;
    QStringList errContains; // "%P" stands for the project, "%O" for the output
};

TEST_F(CommandLineTest, FailuresWriteNothingAndSayWhy)
{
    const QString notProject = QStringLiteral("Die Datei scheint keine Tavistrel Datei zu sein.");
    const FailureCase cases[] = {
        {"project missing",
         [](Workspace& t, const QString& out) {
             return QStringList{t.dir.filePath("fehlt.tvst"), out};
         },
         1,
         {"fehlt.tvst", "existiert nicht"}},
        {"not XML",
         [](Workspace& t, const QString& out) {
             writeFile(t.projectPath, "kein XML <");
             return QStringList{t.projectPath, out};
         },
         1,
         {"%P", notProject}},
        {"foreign identity mark",
         [](Workspace& t, const QString& out) {
             writeFile(t.projectPath, "<xml><FileInfo><Prog>tavistrel</Prog></FileInfo>"
                                      "<FileContent><ItemList/></FileContent></xml>");
             return QStringList{t.projectPath, out};
         },
         1,
         {"%P", notProject}},
        {"output folder missing",
         [](Workspace& t, const QString&) {
             t.saveProject();
             return QStringList{t.projectPath, t.dir.filePath("fehlt/rss.xml")};
         },
         1,
         {"fehlt/rss.xml", "konnte nicht geschrieben werden"}},
        {"output is a folder",
         [](Workspace& t, const QString&) {
             t.saveProject();
             QDir(t.dir.path()).mkdir("ordner.xml");
             return QStringList{t.projectPath, t.dir.filePath("ordner.xml")};
         },
         1,
         {"ordner.xml", "konnte nicht geschrieben werden"}},
        {"output is the project itself",
         [](Workspace& t, const QString&) {
             t.saveProject();
             return QStringList{t.projectPath, t.projectPath};
         },
         2,
         {"%P", "Projektdatei selbst"}},
        {"RSS file name leads out of the folder",
         [](Workspace& t, const QString&) {
             t.project.setText(u"edtFileNameRSS", "../draussen.xml");
             t.saveProject();
             return QStringList{t.projectPath};
         },
         2,
         {"../draussen.xml", "Ausgabedatei angeben"}},
        {"RSS file name empty",
         [](Workspace& t, const QString&) {
             t.project.setText(u"edtFileNameRSS", "");
             t.saveProject();
             return QStringList{t.projectPath};
         },
         2,
         {"%P", "Ausgabedatei angeben"}},
        {"no project named",
         [](Workspace&, const QString&) { return QStringList{}; },
         2,
         {"--export-rss"}},
        {"too many arguments",
         [](Workspace& t, const QString& out) {
             return QStringList{t.projectPath, out, out};
         },
         2,
         {"--export-rss"}},
    };
    for (const FailureCase& c : cases) {
        Workspace t;
        const QString out = t.dir.filePath("rss.xml");
        writeFile(out, "alt");
        const QStringList args = QStringList{"--export-rss"} + c.setup(t, out);
        const QByteArray projectBefore = readFile(t.projectPath);

        const Result r = runHeadless(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.label;
        for (QString part : c.errContains) {
            part.replace("%P", t.projectPath).replace("%O", out);
            EXPECT_TRUE(r.err.contains(part))
                << c.label << ": " << part.toStdString() << " not in " << r.err.toStdString();
        }
        EXPECT_TRUE(r.out.isEmpty()) << c.label;
        EXPECT_EQ(readFile(out), "alt") << c.label;
        EXPECT_EQ(readFile(t.projectPath), projectBefore) << c.label;
        EXPECT_FALSE(QFile::exists(QDir(t.dir.path()).absoluteFilePath("../draussen.xml")))
            << c.label;
        const QStringList left =
            QDir(t.dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString& name : left)
            EXPECT_TRUE(name == u"rss.xml" || name == u"verein.tvst")
                << c.label << ": stray file " << name.toStdString();
    }
}

TEST(CommandLine, VersionAndHelp)
{
    const Result version = runHeadless({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, u"Tavistrel 1.1\n");

    const Result help = runHeadless({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(u"Aufruf:"));
    EXPECT_TRUE(help.out.contains(u"--export-rss PROJEKT.tvst [AUSGABE.xml]"));
}

struct CheckCase
{
    const char* label;
    std::function<QStringList(Workspace&)> setup; // the arguments
    int exitCode;
    QStringList out; // the whole standard output, line by line
};

TEST_F(CommandLineTest, CheckPrintsFindingsAndExitsByLevel)
{
    const auto complete = [](Workspace& w) {
        w.project.setText(u"edtLink", QStringLiteral("https://example.org/"));
        w.project.setText(u"memoDescription", QStringLiteral("Neues"));
        w.project.entries.at(0).link = QStringLiteral("https://example.org/fest");
    };
    const CheckCase cases[] = {
        {"clean",
         [&](Workspace& w) {
             complete(w);
             w.saveProject();
             return QStringList{w.projectPath};
         },
         0,
         {"0 Fehler, 0 Warnungen"}},
        {"warning only",
         [&](Workspace& w) {
             complete(w);
             w.project.entries.at(0).content = QStringLiteral("<b>offen");
             w.saveProject();
             return QStringList{w.projectPath};
         },
         0,
         {"Warnung: Eintrag 1/content: ", "0 Fehler, 1 Warnung"}},
        {"errors",
         [&](Workspace& w) {
             complete(w);
             w.project.setText(u"edtOwnerMail", QStringLiteral("redaktion"));
             auto second = std::make_unique<TNewsEntry>(w.project.entries.at(0));
             w.project.entries.append(std::move(second));
             w.saveProject();
             return QStringList{w.projectPath};
         },
         3,
         {"Fehler: edtOwnerMail: ", "Fehler: Eintrag 2/guid: ", "2 Fehler, 0 Warnungen"}},
        {"unreadable",
         [](Workspace& w) {
             writeFile(w.projectPath, "kein XML <");
             return QStringList{w.projectPath};
         },
         1,
         {}},
        {"missing", [](Workspace& w) { return QStringList{w.dir.filePath("fehlt.tvst")}; }, 1, {}},
        {"no project", [](Workspace&) { return QStringList{}; }, 2, {}},
        {"two projects",
         [](Workspace& w) {
             return QStringList{w.projectPath, w.projectPath};
         },
         2,
         {}},
    };
    for (const CheckCase& c : cases) {
        Workspace w;
        const Result r = runHeadless(QStringList{"--check"} + c.setup(w));
        EXPECT_EQ(r.exitCode, c.exitCode) << c.label << "\n" << r.err.toStdString();
        QStringList lines = r.out.split(u'\n');
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
        ASSERT_EQ(lines.size(), c.out.size()) << c.label << "\n" << r.out.toStdString();
        for (int i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].startsWith(c.out[i])) << c.label << ": " << lines[i].toStdString();
        if (c.exitCode == 1 || c.exitCode == 2)
            EXPECT_FALSE(r.err.isEmpty()) << c.label;
    }
}

} // namespace
