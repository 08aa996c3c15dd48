#include "MainWindowFixture.h"
#include "platform/RecentFiles.h"

#include <QMenu>

namespace {

class RecentFilesMenu : public MainWindowTest
{
protected:
    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        MainWindowTest::SetUp();
    }

    QMenu* menu() const { return form->findChild<QMenu*>("mnuRecent"); }

    // The menu's file entries as "text" or "text (grau)" for a disabled one.
    QStringList shown() const
    {
        QStringList lines;
        for (QAction* action : menu()->actions())
            if (action->objectName().startsWith("actRecent") &&
                action->objectName().mid(9).toInt() > 0)
                lines << action->text().replace(m_prefix(), "") +
                             (action->isEnabled() ? "" : " (grau)");
        return lines;
    }

    // Opens a project the way a drop does, after the save question.
    void openFile(const QString& file)
    {
        ui.answers.push_back(UserInteraction::Answer::No);
        form->openDroppedFiles({file});
    }

    QAction* recentAction(int number) const
    {
        return form->findChild<QAction*>(QString("actRecent%1").arg(number));
    }

private:
    QString m_prefix() const { return QDir::toNativeSeparators(path("x")).chopped(1); }
};

TEST_F(RecentFilesMenu, OpenedAndSavedProjectsNewestFirst)
{
    const QString a = writeProject("a.tvst", "A");
    const QString b = writeProject("b.tvst", "B");
    openFile(a);
    openFile(b);
    ui.saveFileNames.push_back(path("c.tvst"));
    trigger("actSaveAs");
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join("\n").toStdString();
    EXPECT_EQ(shown(), QStringList({"&1 c.tvst", "&2 b.tvst", "&3 a.tvst"}));

    // Opening one again moves it to the front; the list survives the window.
    openFile(a);
    form.reset();
    form = makeForm();
    EXPECT_EQ(shown(), QStringList({"&1 a.tvst", "&2 c.tvst", "&3 b.tvst"}));
}

TEST_F(RecentFilesMenu, KeepsTheLastTen)
{
    for (int i = 1; i <= 12; ++i) {
        const QString file = writeProject(QString("p%1.tvst").arg(i), "P");
        openFile(file);
    }
    const QStringList lines = shown();
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.first(), "&1 p12.tvst");
    EXPECT_EQ(lines.at(8), "&9 p4.tvst");
    EXPECT_EQ(lines.last(), "1&0 p3.tvst");
}

TEST_F(RecentFilesMenu, MissingFileIsGreyedOutAndCanBeRemoved)
{
    const QString gone = writeProject("weg.tvst", "Weg");
    const QString kept = writeProject("da.tvst", "Da");
    openFile(gone);
    openFile(kept);
    QFile::remove(gone);
    emit menu()->aboutToShow();
    EXPECT_EQ(shown(), QStringList({"&1 da.tvst", "&2 weg.tvst (grau)"}));

    trigger("actRecentRemoveMissing");
    EXPECT_EQ(shown(), QStringList({"&1 da.tvst"}));
    trigger("actRecentClear");
    EXPECT_TRUE(shown().isEmpty());
    form.reset();
    form = makeForm();
    EXPECT_TRUE(shown().isEmpty());
}

TEST_F(RecentFilesMenu, OpeningOneAsksTheSaveQuestionFirst)
{
    const QString a = writeProject("a.tvst", "A", {"Eins"});
    const QString b = writeProject("b.tvst", "B");
    openFile(a);
    openFile(b);
    setTitle("getippt");

    // Cancel: nothing happens.
    ui.answers.push_back(UserInteraction::Answer::Cancel);
    recentAction(2)->trigger();
    EXPECT_EQ(title(), "getippt");
    ASSERT_EQ(ui.questions.size(), 3u);
    EXPECT_EQ(ui.questions.back().text, "Soll die aktuelle Datei gespeichert werden?");
    EXPECT_TRUE(ui.questions.back().withCancel);

    // Yes: the project is saved under its name, then the other one opens.
    ui.answers.push_back(UserInteraction::Answer::Yes);
    recentAction(2)->trigger();
    EXPECT_EQ(title(), "A");
    EXPECT_EQ(form->entries().size(), 1);
    EXPECT_EQ(form->currentFileName(), a);
    EXPECT_EQ(ProjectFile::LoadProjectFile(b).text(u"edtFeedTitle"), "getippt");
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(RecentFilesMenu, DesktopListIsFedBothWays)
{
    const QString a = writeProject("a.tvst", "A");
    openFile(a);
    const QList<RecentFile> desktop = DesktopRecentFiles::read(path("data/recently-used.xbel"));
    ASSERT_EQ(desktop.size(), 1);
    EXPECT_EQ(desktop.first().path, a);

    // Another program (a file manager) opened a project since.
    const QString elsewhere = writeProject("anderswo.tvst", "X");
    DesktopRecentFiles::add(path("data/recently-used.xbel"), elsewhere,
                            QDateTime::currentDateTimeUtc().addSecs(60));
    emit menu()->aboutToShow();
    EXPECT_EQ(shown(), QStringList({"&1 anderswo.tvst", "&2 a.tvst"}));
}

} // namespace
