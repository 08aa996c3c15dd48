#include "document/ProjectFile.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

// What the command line must never do to files that are not its output:
// replace a project, replace a device or FIFO, hang on a FIFO, start the
// editor for a mistyped option.
namespace {

struct Folder
{
    // A project in the folder whose RSS file name is rssName.
    QString project(const QString& name, const QString& rssName)
    {
        FeedDocument document;
        document.setText(u"edtFeedTitle", QStringLiteral("Nachrichten"));
        document.setText(u"edtFileNameRSS", rssName);
        const QString path = dir.filePath(name);
        ProjectFile::SaveProjectFile(document, path);
        return path;
    }
    QTemporaryDir dir;
};

struct RefusalCase
{
    const char* label;
    // Prepares the folder; returns the arguments and the file that must stay.
    std::function<QStringList(Folder&, QString& kept)> setup;
    int exitCode;
    const char* errContains;
};

TEST(CommandLineSafety, RefusesAndKeepsWhatIsThere)
{
    const RefusalCase cases[] = {
        {"RSS file name is a sibling project's name",
         [](Folder& f, QString& kept) {
             kept = f.project("ok.tvst", "rss.xml");
             return QStringList{"--export-rss", f.project("fremd.tvst", "ok.tvst")};
         },
         2, "bezeichnet eine Projektdatei"},
        {"RSS file name names a project without the extension",
         [](Folder& f, QString& kept) {
             kept = f.project("ok.xml", "rss.xml");
             return QStringList{"--export-rss", f.project("fremd.tvst", "ok.xml")};
         },
         2, "bezeichnet eine Projektdatei"},
        {"RSS file name ends in .tvst without such a file",
         [](Folder& f, QString& kept) {
             kept = f.project("fremd.tvst", "NEU.TVST");
             return QStringList{"--export-rss", kept};
         },
         2, "bezeichnet eine Projektdatei"},
        {"project is a folder",
         [](Folder& f, QString& kept) {
             QDir(f.dir.path()).mkdir("ordner.tvst");
             kept = f.project("anderes.tvst", "rss.xml");
             return QStringList{"--export-rss", f.dir.filePath("ordner.tvst")};
         },
         1, "ist ein Ordner"},
        {"project is a FIFO without writer",
         [](Folder& f, QString& kept) {
             const QString fifo = f.dir.filePath("pipe.tvst");
             EXPECT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
             kept = f.project("anderes.tvst", "rss.xml");
             return QStringList{"--upload", fifo};
         },
         1, "ist eine Pipe"},
        {"unknown option",
         [](Folder& f, QString& kept) {
             kept = f.project("x.tvst", "rss.xml");
             return QStringList{"--chek", kept};
         },
         2, "Unbekannte Option \"--chek\""},
        {"unknown option with a value",
         [](Folder& f, QString& kept) {
             kept = f.project("x.tvst", "rss.xml");
             return QStringList{"--export-rss=x.xml", kept};
         },
         2, "Unbekannte Option"},
    };
    for (const RefusalCase& c : cases) {
        Folder f;
        QString kept;
        const QStringList args = c.setup(f, kept);
        const QByteArray before = readFile(kept);
        const QStringList filesBefore =
            QDir(f.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const ProgramRun r = runProgram(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.label << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.errContains)))
            << c.label << ": " << r.err.toStdString();
        EXPECT_EQ(readFile(kept), before) << c.label;
        EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  filesBefore)
            << c.label;
    }
}

TEST(CommandLineSafety, UnreadableProjectNamesTheCause)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    Folder f;
    const QString path = f.project("geheim.tvst", "rss.xml");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    const ProgramRun r = runProgram({"--export-rss", path, f.dir.filePath("out.xml")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"Zugriff verweigert")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(u"Permission")) << r.err.toStdString();
}

TEST(CommandLineSafety, DashWritesTheFeedToStandardOutput)
{
    Folder f;
    const QString path = f.project("x.tvst", "rss.xml");
    const ProgramRun r = runProgram({"--export-rss", path, "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(u"<rss")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(u"<title>Nachrichten</title>"));
    EXPECT_FALSE(QFile::exists(f.dir.filePath("-")));
}

TEST(CommandLineSafety, WritesIntoAFifoInsteadOfReplacingIt)
{
    Folder f;
    const QString project = f.project("x.tvst", "rss.xml");
    const QString fifo = f.dir.filePath("feed.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    // Nobody reads: refused at once instead of waiting.
    const ProgramRun alone = runProgram({"--export-rss", project, fifo});
    EXPECT_EQ(alone.exitCode, 1);
    EXPECT_TRUE(alone.err.contains(u"Niemand liest")) << alone.err.toStdString();

    // With a reader the feed goes through the FIFO, which stays a FIFO (the
    // small feed fits the pipe's buffer, so no reading is needed meanwhile).
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const ProgramRun r = runProgram({"--export-rss", project, fifo});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    QByteArray got(65536, '\0');
    const ssize_t n = ::read(reader, got.data(), size_t(got.size()));
    ::close(reader);
    ASSERT_GT(n, 0);
    EXPECT_TRUE(got.left(n).contains("<title>Nachrichten</title>"));
    struct stat info
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(CommandLineSafety, DeviceNodeIsWrittenIntoNotReplaced)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "/dev/full is not writable here (needs root)";
    Folder f;
    const QString project = f.project("x.tvst", "rss.xml");
    const ProgramRun r = runProgram({"--export-rss", project, "/dev/full"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(u"Der Datenträger ist voll")) << r.err.toStdString();
    struct stat info
    {
    };
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

} // namespace
