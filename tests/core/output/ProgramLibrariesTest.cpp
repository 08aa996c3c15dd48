#include "support/ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Which shared libraries a run of the program loads, as the dynamic loader
// reports them (LD_DEBUG=files lists those it links and those loaded later):
// the headless modes need neither Qt Widgets nor the browser engine, the
// editor loads the browser engine only for an HTML edit, and none of them
// loads SSH before an SFTP session.
namespace {

struct Case
{
    const char* name;
    QStringList args;
    bool widgets; // the editor's window: Qt Widgets expected
};

QString loadedLibraries(const QStringList& args, bool window, QString* dir)
{
    std::vector<std::pair<QString, QString>> env = {
        {QStringLiteral("LD_DEBUG"), QStringLiteral("files")},
        {QStringLiteral("TZ"), QStringLiteral("UTC")}};
    if (window) {
        env.push_back({QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")});
        env.push_back({QStringLiteral("TAVISTREL_QUIT_AFTER_START"), QStringLiteral("1")});
        env.push_back({QStringLiteral("HOME"), *dir});
        env.push_back({QStringLiteral("XDG_CONFIG_HOME"), *dir});
    }
    const ProgramRun run = runProgram(args, env);
    EXPECT_NE(run.exitCode, -1) << "the program did not end";
    return run.err;
}

} // namespace

TEST(ProgramLibraries, HeadlessModesAndTheEditorLoadOnlyWhatTheyUse)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString project = dir.filePath(QStringLiteral("beispiel.tvst"));
    const QString programFolder = QFileInfo(QStringLiteral(TAVISTREL_PROGRAM_PATH)).absolutePath();
    ASSERT_TRUE(QFile::copy(programFolder + QStringLiteral("/samples/beispiel.tvst"), project));
    const QString out = dir.filePath(QStringLiteral("rss.xml"));
    QString home = dir.path();

    const Case cases[] = {
        {"version", {QStringLiteral("--version")}, false},
        {"help", {QStringLiteral("--help")}, false},
        {"unknown option", {QStringLiteral("--gibt-es-nicht")}, false},
        {"export", {QStringLiteral("--export-rss"), project, out}, false},
        {"editor", {}, true},
    };
    // The sanitizer build has no windows: its program has no editor to start.
    const bool haveWindows =
        QFile::exists(programFolder + QStringLiteral("/../lib/tavistrel/libtavistrel_gui.so"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.widgets && !haveWindows)
            continue;
        const QString loaded = loadedLibraries(c.args, c.widgets, &home);
        ASSERT_TRUE(loaded.contains(QStringLiteral("libQt6Core"))) << "no loader report";
        EXPECT_EQ(loaded.contains(QStringLiteral("libQt6Widgets")), c.widgets);
        EXPECT_EQ(loaded.contains(QStringLiteral("libtavistrel_gui")), c.widgets);
        EXPECT_FALSE(loaded.contains(QStringLiteral("libQt6WebEngine")));
        EXPECT_FALSE(loaded.contains(QStringLiteral("libtavistrel_htmledit")));
        // SSH and its crypto library come with the first SFTP session only.
        EXPECT_FALSE(loaded.contains(QStringLiteral("libssh")));
        EXPECT_FALSE(loaded.contains(QStringLiteral("libcrypto")));
    }
    EXPECT_TRUE(QFile::exists(out));
}
