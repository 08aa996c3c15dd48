// The feed check in the main window: the command, the findings panel and
// the question before export and upload.

#include "app/uEntryDlg.h"
#include "gui/app/MainWindowFixture.h"

#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QToolBar>

namespace {

class FeedCheckWindowTest : public MainWindowTest
{
protected:
    // Two Fehler (owner mail, entry link) and one Warnung (the logo's size).
    void plantProblems()
    {
        form->textControl(u"edtOwnerMail")->setText(QStringLiteral("redaktion"));
        form->textControl(u"edtLogoUrl")->setText(QStringLiteral("https://example.org/l.png"));
        form->textControl(u"edtLinkLogo")->setText(QStringLiteral("https://example.org/"));
        TNewsEntry e = entry(QStringLiteral("Fest"));
        e.link = QStringLiteral("fest.html");
        addEntry(e);
    }
    void addEntry(const TNewsEntry& e)
    {
        const QString file = path("mit-eintrag.tvst");
        FeedDocument d = form->documentFromControls();
        d.entries.append(std::make_unique<TNewsEntry>(e));
        ProjectFile::SaveProjectFile(d, file);
        ASSERT_TRUE(form->LoadProjectFile(file));
    }
    QStringList shownPlaces() const
    {
        QStringList places;
        for (int row = 0; row < form->findingsList()->rowCount(); ++row)
            places << form->findingsList()->item(row, 0)->text();
        return places;
    }
    QWidget* panel() const { return form->findChild<QWidget*>(QStringLiteral("panelFindings")); }
};

TEST_F(FeedCheckWindowTest, CommandInFileMenuToolBarAndF7)
{
    auto* action = form->findChild<QAction*>(QStringLiteral("actCheckFeed"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), u"Feed prüfen");
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::Key_F7));
    EXPECT_TRUE(form->findChild<QMenu*>(QStringLiteral("mnuFile"))->actions().contains(action));
    EXPECT_TRUE(form->findChild<QToolBar*>(QStringLiteral("ToolBar1"))->actions().contains(action));
}

TEST_F(FeedCheckWindowTest, PanelListsFindingsAndRefreshes)
{
    EXPECT_FALSE(panel()->isVisibleTo(form.get()));
    plantProblems();
    trigger("actCheckFeed");
    EXPECT_TRUE(panel()->isVisibleTo(form.get()));
    EXPECT_EQ(shownPlaces(), QStringList({"edtOwnerMail", "edtLogoWidth", "Eintrag 1/link"}));
    EXPECT_EQ(form->findingsList()->item(0, 0)->toolTip(), u"Fehler");
    EXPECT_EQ(form->findingsList()->item(1, 0)->toolTip(), u"Warnung");
    EXPECT_FALSE(form->findingsList()->item(0, 0)->icon().isNull());
    EXPECT_TRUE(form->findingsList()->item(0, 1)->text().contains(u"E-Mail"));

    form->textControl(u"edtOwnerMail")->setText(QStringLiteral("redaktion@example.org"));
    trigger("actCheckFeed");
    EXPECT_EQ(shownPlaces(), QStringList({"edtLogoWidth", "Eintrag 1/link"}));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(FeedCheckWindowTest, DoubleClickGoesToTheFieldOrOpensTheEntry)
{
    plantProblems();
    trigger("actCheckFeed");
    form->show();
    auto* tabs = form->findChild<QTabWidget*>(QStringLiteral("tPageControl"));
    tabs->setCurrentIndex(4);

    form->goToFinding(1); // edtLogoWidth on "Sonstige Einstellungen"
    EXPECT_EQ(tabs->currentWidget()->objectName(), u"tsOtherSettings");

    QString focusedInDialog;
    QString linkInDialog;
    form->setEntryDialogRunner([&](TfrmEntry& dialog) {
        if (QWidget* f = dialog.focusWidget())
            focusedInDialog = f->objectName();
        linkInDialog = dialog.findChild<QLineEdit*>(QStringLiteral("edtLink"))->text();
        dialog.findChild<QLineEdit*>(QStringLiteral("edtLink"))
            ->setText(QStringLiteral("https://example.org/fest"));
        return true;
    });
    form->goToFinding(2); // Eintrag 1/link
    EXPECT_EQ(linkInDialog, u"fest.html");
    EXPECT_EQ(focusedInDialog, u"edtLink");
    EXPECT_EQ(tabs->currentWidget()->objectName(), u"tsEntries");
    EXPECT_EQ(form->entries().at(0).link, u"https://example.org/fest");
    EXPECT_EQ(cellText(entryView(), 0, 2), u"https://example.org/fest");
    EXPECT_EQ(form->selectedEntryIndex(), -1);
}

TEST_F(FeedCheckWindowTest, ExportWithErrorsAsksFirst)
{
    plantProblems();
    const QString target = path("feed.xml");

    // "Nein": nothing written, the panel shows why.
    ui.answers = {UserInteraction::Answer::No};
    trigger("actExportRSS");
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, u"Der Feed enthält 2 Fehler. Trotzdem fortfahren?");
    EXPECT_EQ(ui.questions[0].icon, UserInteraction::Icon::Question);
    EXPECT_FALSE(ui.questions[0].withCancel);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(ui.proposedNames.isEmpty()); // the save dialog never came
    EXPECT_TRUE(panel()->isVisibleTo(form.get()));

    // "Ja": the export goes on as before.
    ui.answers = {UserInteraction::Answer::Yes};
    ui.saveFileNames = {target};
    trigger("actExportRSS");
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_TRUE(ui.allAnswersUsed());
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(FeedCheckWindowTest, UploadWithErrorsStopsAtNo)
{
    plantProblems();
    form->textControl(u"edtFTPServer")->setText(QStringLiteral("127.0.0.1"));
    ui.answers = {UserInteraction::Answer::No};
    trigger("actUpload");
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(panel()->isVisibleTo(form.get()));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(FeedCheckWindowTest, WarningsDoNotInterruptTheExport)
{
    form->textControl(u"edtLinkLogo")->setText(QStringLiteral("https://example.org/"));
    form->textControl(u"edtLogoUrl")->setText(QStringLiteral("https://example.org/l.png"));
    ui.saveFileNames = {path("feed.xml")};
    trigger("actExportRSS");
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(QFileInfo::exists(path("feed.xml")));
}

TEST_F(FeedCheckWindowTest, FeedUrlIsOnTheFtpPageAndTravelsWithTheProject)
{
    QLineEdit* field = form->textControl(u"edtFeedUrl");
    ASSERT_NE(field, nullptr);
    auto* tabs = form->findChild<QTabWidget*>(QStringLiteral("tPageControl"));
    EXPECT_TRUE(tabs->widget(4)->isAncestorOf(field));
    field->setText(QStringLiteral("https://example.org/rss.xml"));
    const QString file = path("adresse.tvst");
    form->SaveProjectFile(file);
    field->clear();
    ASSERT_TRUE(form->LoadProjectFile(file));
    EXPECT_EQ(field->text(), u"https://example.org/rss.xml");
}

} // namespace
