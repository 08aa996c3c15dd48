// The program as a user gets it: installed into a staging folder the way
// `cmake --install` or a package lays it out, and the Debian package itself.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString output; // standard output and error together
};

ToolRun run(const QString& program, const QStringList& args, const QString& workingDir = {},
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, args);
    ToolRun r;
    if (!process.waitForFinished(240000) || process.exitStatus() != QProcess::NormalExit) {
        r.output = program + ": " + process.errorString();
        return r;
    }
    r.exitCode = process.exitCode();
    r.output = QString::fromUtf8(process.readAll());
    return r;
}

QString tool(const char* name)
{
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    EXPECT_FALSE(found.isEmpty()) << name << " is missing; scripts/install-deps.sh installs it";
    return found;
}

// Installed once into DESTDIR for all tests of this process.
class Installed : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dest = new QTemporaryDir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", s_dest->path());
        const ToolRun r = run(QStringLiteral(TAVISTREL_CMAKE_COMMAND),
                              {"--install", TAVISTREL_BUILD_DIR, "--prefix", "/usr"}, {}, env);
        s_installOutput = new QString(QString::number(r.exitCode) + "\n" + r.output);
        s_installed = r.exitCode == 0;
    }
    static void TearDownTestSuite()
    {
        delete s_dest;
        delete s_installOutput;
    }
    void SetUp() override { ASSERT_TRUE(s_installed) << s_installOutput->toStdString(); }

    static QString usr(const QString& rel) { return s_dest->path() + "/usr/" + rel; }

    static inline QTemporaryDir* s_dest = nullptr;
    static inline QString* s_installOutput = nullptr;
    static inline bool s_installed = false;
};

// Everything a desktop needs, in the places the desktop looks.
const char* const kInstalledFiles[] = {
    "bin/tavistrel",
    "share/tavistrel/default.tvst",
    "share/tavistrel/samples/beispiel.tvst",
    "share/tavistrel/help_de/handbuch.html",
    "share/tavistrel/help_de/frmEntry/edtTitel.html",
    "share/applications/tavistrel.desktop",
    "share/mime/packages/tavistrel.xml",
    "share/metainfo/org.tavistrel.Tavistrel.metainfo.xml",
    "share/icons/hicolor/scalable/apps/tavistrel.svg",
    "share/icons/hicolor/16x16/apps/tavistrel.png",
    "share/icons/hicolor/32x32/apps/tavistrel.png",
    "share/icons/hicolor/48x48/apps/tavistrel.png",
    "share/icons/hicolor/256x256/apps/tavistrel.png",
    "share/man/man1/tavistrel.1.gz",
};

TEST_F(Installed, FilesAreInTheirPlaces)
{
    for (const char* rel : kInstalledFiles)
        EXPECT_TRUE(QFileInfo(usr(rel)).isFile()) << rel;
    EXPECT_TRUE(QFileInfo(usr("bin/tavistrel")).isExecutable());
    // Nothing of the build's own: tests and benchmarks stay out.
    EXPECT_EQ(QDir(usr("bin")).entryList(QDir::Files), QStringList({"tavistrel"}));
}

TEST_F(Installed, DesktopFilesPassTheirValidators)
{
    struct Check
    {
        const char* tool;
        QStringList args;
    };
    const Check checks[] = {
        {"desktop-file-validate", {usr("share/applications/tavistrel.desktop")}},
        {"appstreamcli",
         {"validate", "--no-net", usr("share/metainfo/org.tavistrel.Tavistrel.metainfo.xml")}},
        {"xmllint", {"--noout", usr("share/mime/packages/tavistrel.xml")}},
        {"update-mime-database", {"-V", usr("share/mime")}},
        {"man", {"--warnings", "-l", "-Tutf8", usr("share/man/man1/tavistrel.1.gz")}},
    };
    for (const Check& check : checks) {
        const ToolRun r = run(tool(check.tool), check.args);
        EXPECT_EQ(r.exitCode, 0) << check.tool << "\n" << r.output.toStdString();
        EXPECT_FALSE(r.output.contains("warning", Qt::CaseInsensitive) &&
                     QByteArray(check.tool) != "update-mime-database" &&
                     QByteArray(check.tool) != "man")
            << check.tool << "\n"
            << r.output.toStdString();
    }
}

TEST_F(Installed, MimeTypeIsKnownByNameAndByContent)
{
    ASSERT_EQ(run(tool("update-mime-database"), {usr("share/mime")}).exitCode, 0);
    // The database reads the folders once, on first use in this process.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(usr("share") + ":/usr/share"));
    QTemporaryDir dir;
    QFile::copy(usr("share/tavistrel/samples/beispiel.tvst"), dir.filePath("umbenannt.xml"));
    QFile other(dir.filePath("anderes.xml"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("<xml><FileInfo><Prog>Anderes</Prog></FileInfo></xml>\n");
    other.close();

    const QMimeDatabase db;
    EXPECT_EQ(db.mimeTypeForFile("/nirgends/feed.tvst", QMimeDatabase::MatchExtension).name(),
              "application/x-tavistrel");
    EXPECT_EQ(db.mimeTypeForFile(dir.filePath("umbenannt.xml"), QMimeDatabase::MatchContent).name(),
              "application/x-tavistrel");
    EXPECT_NE(db.mimeTypeForFile(dir.filePath("anderes.xml"), QMimeDatabase::MatchContent).name(),
              "application/x-tavistrel");
    const QMimeType type = db.mimeTypeForName("application/x-tavistrel");
    EXPECT_EQ(type.iconName(), "tavistrel");
}

TEST_F(Installed, InstalledProgramFindsItsDataAndExportsTheSample)
{
    QTemporaryDir out;
    const ToolRun version = run(usr("bin/tavistrel"), {"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.output.toStdString();
    EXPECT_EQ(version.output.trimmed(), "Tavistrel " TAVISTREL_VERSION);

    const QString feed = out.filePath("feed.xml");
    const ToolRun exported = run(
        usr("bin/tavistrel"), {"--export-rss", usr("share/tavistrel/samples/beispiel.tvst"), feed});
    EXPECT_EQ(exported.exitCode, 0) << exported.output.toStdString();
    QFile f(feed);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray rss = f.readAll();
    EXPECT_TRUE(rss.contains("<rss")) << rss.left(200).constData();
    EXPECT_TRUE(rss.contains("<item>"));
}

TEST(DebianPackage, HoldsTheProgramAndNamesItsLibraries)
{
    QTemporaryDir out;
    const ToolRun built = run(QStringLiteral(TAVISTREL_CPACK_COMMAND),
                              {"-G", "DEB", "-B", out.path()}, TAVISTREL_BUILD_DIR);
    ASSERT_EQ(built.exitCode, 0) << built.output.toStdString();
    const QStringList debs = QDir(out.path()).entryList({"tavistrel_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << built.output.toStdString();
    const QString deb = out.filePath(debs.first());
    EXPECT_TRUE(debs.first().startsWith("tavistrel_" TAVISTREL_VERSION "_"));

    const ToolRun listing = run(tool("dpkg-deb"), {"-c", deb});
    ASSERT_EQ(listing.exitCode, 0) << listing.output.toStdString();
    for (const char* rel : kInstalledFiles)
        EXPECT_TRUE(listing.output.contains(QStringLiteral(" ./usr/") + rel + "\n")) << rel;
    EXPECT_FALSE(listing.output.contains("/usr/local/"));
    EXPECT_FALSE(listing.output.contains("/bin/test_"));
    EXPECT_FALSE(listing.output.contains("/bin/bench_"));

    const ToolRun control = run(tool("dpkg-deb"), {"-f", deb, "Package", "Version", "Depends"});
    ASSERT_EQ(control.exitCode, 0) << control.output.toStdString();
    EXPECT_TRUE(control.output.contains("Package: tavistrel\n"));
    EXPECT_TRUE(control.output.contains("Version: " TAVISTREL_VERSION "\n"));
    // Found by dpkg-shlibdeps from the program's libraries, and those loaded
    // at run time that it cannot see.
    for (const char* package :
         {"libc6", "libqt6core6", "libqt6widgets6", "libqt6webenginewidgets6", "libpugixml1v5",
          "qt6-qpa-plugins", "libqt6webenginecore6-bin", "libssh-4"})
        EXPECT_TRUE(control.output.contains(QRegularExpression(
            QStringLiteral("[ ,]%1( \\(|,|\\n)").arg(QRegularExpression::escape(package)))))
            << package << "\n"
            << control.output.toStdString();
}

} // namespace
