#include "MainWindowFixture.h"
#include "support/WaitUntil.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

const char* const kChildFolderVariable = "TAVISTREL_TEST_RECOVERY_CHILD";

QString sampleProject()
{
    return QFileInfo(QStringLiteral(TAVISTREL_PROGRAM_PATH)).absolutePath() +
           "/samples/beispiel.tvst";
}

class Recovery : public MainWindowTest
{
protected:
    QString folder() const { return path("state/recovery"); }

    std::unique_ptr<TForm1> makeRecoveringForm(std::chrono::milliseconds interval = 1h)
    {
        TForm1::Options options;
        options.showSplash = false;
        options.clock = &fixedNow;
        options.recoveryInterval = interval;
        options.recoveryFolder = folder();
        return std::make_unique<TForm1>(ui, options);
    }

    QStringList filesInFolder() const { return QDir(folder()).entryList(QDir::Files, QDir::Name); }

    // A copy as a program leaves it that was killed: its lock names a
    // process that does not run.
    QString leaveOrphan(const QByteArray& bytes, const QDateTime& written)
    {
        QDir().mkpath(folder());
        const QString copy = folder() + "/2147483600-abcdef.tvst";
        writeAll(copy, bytes);
        writeAll(folder() + "/2147483600-abcdef.lock",
                 "2147483600\ntavistrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        QFile file(copy);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
        return copy;
    }

    // Shows the window and lets it handle what its first show queued.
    static void start(TForm1& window)
    {
        window.show();
        QCoreApplication::processEvents();
    }

    static QByteArray bytesOf(const TForm1& window)
    {
        return ProjectFile::ProjectData(window.documentFromControls());
    }
};

const QRegularExpression kQuestion(
    "^Tavistrel wurde nicht ordnungsgemäß beendet\\. Soll die Wiederherstellungskopie von "
    "\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d geöffnet werden\\?$");

// Run only as the child of KilledProgramLeavesACopyThatTheNextStartOffers:
// opens the sample, types, waits for its copy and then for its end.
TEST_F(Recovery, DISABLED_ChildTypesAndWaitsToBeKilled)
{
    const QString childFolder = qEnvironmentVariable(kChildFolderVariable);
    if (childFolder.isEmpty())
        GTEST_SKIP() << "runs as a child process only";
    TForm1::Options options;
    options.showSplash = false;
    options.clock = &fixedNow;
    options.recoveryInterval = 50ms;
    options.recoveryFolder = childFolder;
    options.startupFile = sampleProject();
    TForm1 window(ui, options);
    start(window);
    ASSERT_EQ(window.currentFileName(), sampleProject());
    window.textControl(u"edtFeedTitle")->setText("Nach dem Öffnen getippt");
    window.checkControl(u"chkPublish")->toggle();
    window.selectEntry(1);
    ui.answers.push_back(UserInteraction::Answer::Yes);
    window.btDeleteClick();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(window.recoveryCopyPath()); }));
    std::printf("BEREIT\n");
    std::fflush(stdout);
    waitUntil([] { return false; }, 60s);
}

TEST_F(Recovery, KilledProgramLeavesACopyThatTheNextStartOffers)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildFolderVariable, folder());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests",
                 "--gtest_filter=Recovery.DISABLED_ChildTypesAndWaitsToBeKilled"});
    ASSERT_TRUE(waitUntil(
        [&] {
            return child.readAllStandardOutput().contains("BEREIT") ||
                   child.state() == QProcess::NotRunning;
        },
        60s));
    ASSERT_EQ(child.state(), QProcess::Running) << child.readAllStandardError().constData();
    child.kill(); // SIGKILL: no clean-up of any kind
    ASSERT_TRUE(child.waitForFinished(10000));

    const QStringList left = QDir(folder()).entryList({"*.tvst"}, QDir::Files);
    ASSERT_EQ(left.size(), 1);
    const QString copy = folder() + "/" + left.first();
    struct stat st
    {
    };
    ASSERT_EQ(::stat(QFile::encodeName(copy).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const QByteArray copied = readAll(copy);
    const FeedDocument typed = ProjectFile::LoadProjectData(copied);
    EXPECT_EQ(typed.text(u"edtFeedTitle"), "Nach dem Öffnen getippt");
    const FeedDocument sample = ProjectFile::LoadProjectFile(sampleProject());
    EXPECT_EQ(typed.flag(u"chkPublish"), !sample.flag(u"chkPublish"));
    EXPECT_EQ(typed.entries.size(), sample.entries.size() - 1);

    auto next = makeRecoveringForm();
    ui.answers.push_back(UserInteraction::Answer::Yes);
    start(*next);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(kQuestion.match(ui.questions[0].text).hasMatch())
        << ui.questions[0].text.toStdString();
    EXPECT_FALSE(ui.questions[0].withCancel);
    // Every setting and entry as it was typed, as an unnamed project.
    EXPECT_EQ(bytesOf(*next), copied);
    EXPECT_FALSE(next->isSaved());
    EXPECT_EQ(next->statusText(), "unbenannt.tvst");
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join("\n").toStdString();
    // The copy is now this window's own.
    EXPECT_FALSE(QFile::exists(copy));
    EXPECT_EQ(readAll(next->recoveryCopyPath()), copied);
}

TEST_F(Recovery, DeclinedCopyIsKeptAndNotOfferedAgain)
{
    const QByteArray bytes = readAll(sampleProject());
    const QString copy = leaveOrphan(bytes, QDateTime(QDate(2026, 3, 1), QTime(14, 5)));
    auto first = makeRecoveringForm();
    ui.answers.push_back(UserInteraction::Answer::No);
    start(*first);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text,
              "Tavistrel wurde nicht ordnungsgemäß beendet. Soll die Wiederherstellungskopie von "
              "01.03.2026 14:05 geöffnet werden?");
    EXPECT_EQ(first->textControl(u"edtFeedTitle")->text(), kTemplateTitle);
    first.reset();

    auto second = makeRecoveringForm();
    start(*second);
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join("\n").toStdString();
    EXPECT_EQ(readAll(copy), bytes);
}

TEST_F(Recovery, UnreadableCopyIsReportedAndKept)
{
    const QString copy = leaveOrphan("<xml><FileInfo>", QDateTime(QDate(2026, 3, 1), QTime(9, 0)));
    auto first = makeRecoveringForm();
    ui.answers.push_back(UserInteraction::Answer::Yes);
    start(*first);
    EXPECT_EQ(ui.messages, QStringList({kNotAProjectFileMessage}));
    EXPECT_EQ(first->textControl(u"edtFeedTitle")->text(), kTemplateTitle);
    EXPECT_TRUE(QFile::exists(copy));
    first.reset();

    auto second = makeRecoveringForm();
    start(*second);
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join("\n").toStdString();
}

TEST_F(Recovery, CopyFollowsWhetherTheProjectDiffersFromItsFile)
{
    auto window = makeRecoveringForm();
    start(*window);
    const QString copy = window->recoveryCopyPath();
    auto type = [&](const QString& text) {
        window->textControl(u"edtFeedTitle")->setText(text);
        window->saveRecoveryCopy();
    };

    window->saveRecoveryCopy();
    EXPECT_FALSE(QFile::exists(copy)) << "a new project as made differs from nothing";
    type("Getippt");
    EXPECT_TRUE(ProjectFile::LoadProjectData(readAll(copy)).text(u"edtFeedTitle") == "Getippt");
    type(kTemplateTitle); // typed back: the same bytes as before, no copy
    EXPECT_FALSE(QFile::exists(copy));

    struct Step
    {
        const char* name;
        std::function<void()> run;
    };
    const QString saved = path("gespeichert.tvst");
    const QString other = writeProject("anderes.tvst", "Anderes");
    const Step steps[] = {
        {"save",
         [&] {
             ui.saveFileNames.push_back(saved);
             window->actSaveAsExecute();
         }},
        {"new",
         [&] {
             ui.answers.push_back(UserInteraction::Answer::No);
             window->actNewExecute();
         }},
        {"open",
         [&] {
             ui.answers.push_back(UserInteraction::Answer::No);
             window->openDroppedFiles({other});
         }},
    };
    for (const Step& step : steps) {
        type(QString("Vor ") + step.name);
        ASSERT_TRUE(QFile::exists(copy)) << step.name;
        step.run();
        EXPECT_FALSE(QFile::exists(copy)) << step.name;
    }
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join("\n").toStdString();

    // A clean exit leaves nothing behind, lock included.
    type("Vor dem Beenden");
    ui.answers.push_back(UserInteraction::Answer::No);
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(filesInFolder().isEmpty()) << filesInFolder().join(" ").toStdString();
}

TEST_F(Recovery, TimerWritesTheCopy)
{
    auto window = makeRecoveringForm(20ms);
    start(*window);
    window->textControl(u"edtFeedTitle")->setText("Getippt");
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(window->recoveryCopyPath()); }));
}

TEST_F(Recovery, TwoRunningWindowsKeepSeparateCopies)
{
    auto first = makeRecoveringForm();
    auto second = makeRecoveringForm();
    start(*first);
    start(*second);
    first->textControl(u"edtFeedTitle")->setText("Erstes");
    second->textControl(u"edtFeedTitle")->setText("Zweites");
    first->saveRecoveryCopy();
    second->saveRecoveryCopy();
    ASSERT_NE(first->recoveryCopyPath(), second->recoveryCopyPath());
    EXPECT_EQ(
        ProjectFile::LoadProjectData(readAll(first->recoveryCopyPath())).text(u"edtFeedTitle"),
        "Erstes");
    EXPECT_EQ(
        ProjectFile::LoadProjectData(readAll(second->recoveryCopyPath())).text(u"edtFeedTitle"),
        "Zweites");

    // A third start asks nothing: both owners still run.
    auto third = makeRecoveringForm();
    start(*third);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join("\n").toStdString();
}

} // namespace
