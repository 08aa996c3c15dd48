#include "MainWindowFixture.h"
#include "app/uEntryDlg.h"
#include "output/Rss20.h"

#include <QDir>
#include <QFileInfo>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>

namespace {

// The main window's and the entry dialog's help triggers, each of which
// ships a page.
const char* const kMainPages[] = {
    "tsProperties",  "tsEntries",    "tsRefresh",  "tsOtherSettings", "tsFTP",
    "panelTime",     "edtFeedTitle", "edtLink",    "memoDescription", "edtOwnerName",
    "edtOwnerMail",  "edtCopyright", "edtLogoUrl", "edtLogoTitle",    "edtLogoWidth",
    "edtLogoHeight", "edtLinkLogo",  "edtGUID",    "cboLanguage",     "cboEncoding",
    "edtFeedUrl",    "blank",
};
const char* const kEntryPages[] = {"frmEntry", "edtTitel",    "edtLink",     "memoText", "edtAutor",
                                   "edtEmail", "edtHomepage", "datePublish", "edtGUID"};

} // namespace

class HelpTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        QDir(path(QString())).mkpath(QStringLiteral("help_de/frmEntry"));
        for (const char* page : {"blank", "edtFeedTitle", "edtLink", "tsFTP", "tsRefresh"})
            writePage(QStringLiteral("help_de/%1.html").arg(QString::fromLatin1(page)));
        for (const char* page : {"frmEntry", "edtTitel"})
            writePage(QStringLiteral("help_de/frmEntry/%1.html").arg(QString::fromLatin1(page)));
    }

    void writePage(const QString& relative) { writeAll(path(relative), "<p>Hilfe</p>"); }

    static QString shown(QTextBrowser* browser)
    {
        return QFileInfo(browser->source().toLocalFile()).canonicalFilePath();
    }
    QString page(const QString& relative) const
    {
        return QFileInfo(path(relative)).canonicalFilePath();
    }
    QTextBrowser* mainHelp() const { return form->findChild<QTextBrowser*>("HelpBrowser"); }
};

TEST_F(HelpTest, FocusedFieldShowsItsPageOrTheBlankPage)
{
    focus(form->textControl(u"edtFeedTitle"));
    EXPECT_EQ(shown(mainHelp()), page("help_de/edtFeedTitle.html"));

    // Fields without their own help leave the page as it is.
    const struct
    {
        const char* neighbour;
        const char* field;
    } quiet[] = {{"chkMonday", "edtTTL"}, {"edtFTPUserName", "edtFTPServer"}};
    for (const auto& q : quiet) {
        SCOPED_TRACE(q.field);
        focus(form->findChild<QWidget*>(q.neighbour));
        form->helpEnterChange(QStringLiteral("edtLink"));
        focus(form->findChild<QWidget*>(q.field));
        EXPECT_EQ(shown(mainHelp()), page("help_de/edtLink.html"));
    }

    QFile::remove(path("help_de/edtFeedTitle.html"));
    focus(form->textControl(u"edtLink"));
    focus(form->textControl(u"edtFeedTitle"));
    EXPECT_EQ(shown(mainHelp()), page("help_de/blank.html"));
    form->hide();
}

TEST_F(HelpTest, ShownTabPageShowsItsPage)
{
    auto* pages = form->findChild<QTabWidget*>("tPageControl");
    pages->setCurrentWidget(form->findChild<QWidget*>("tsFTP"));
    EXPECT_EQ(shown(mainHelp()), page("help_de/tsFTP.html"));
    pages->setCurrentWidget(form->findChild<QWidget*>("tsEntries"));
    EXPECT_EQ(shown(mainHelp()), page("help_de/blank.html"));
}

TEST_F(HelpTest, EntryDialogShowsItsOwnPagesFallingBackToTheBlankPage)
{
    for (int opening = 0; opening < 2; ++opening) {
        TfrmEntry dialog(form.get(), ui, &fixedNow);
        EXPECT_EQ(shown(dialog.helpBrowser()), page("help_de/frmEntry/frmEntry.html"));
        focus(dialog.findChild<QLineEdit*>("edtTitel"));
        EXPECT_EQ(shown(dialog.helpBrowser()), page("help_de/frmEntry/edtTitel.html"));
        // The main window's page of the same name is not used.
        focus(dialog.findChild<QLineEdit*>("edtLink"));
        EXPECT_EQ(shown(dialog.helpBrowser()), page("help_de/blank.html"));
        dialog.hide();
    }
}

TEST(HelpPagesShipped, EveryTriggerHasAPage)
{
    const QString help =
        QDir::cleanPath(QStringLiteral(TAVISTREL_TEST_DATA_DIR "/../../resources/help_de")) + u'/';
    for (const char* name : kMainPages)
        EXPECT_TRUE(QFileInfo::exists(help + QString::fromLatin1(name) + ".html")) << name;
    for (const char* name : kEntryPages)
        EXPECT_TRUE(QFileInfo::exists(help + "frmEntry/" + QString::fromLatin1(name) + ".html"))
            << name;
    EXPECT_TRUE(QFileInfo::exists(help + "handbuch.html"));
}

class ExportTest : public MainWindowTest
{
};

TEST_F(ExportTest, ProposesTheRssFileNameAndWritesWithoutQuestion)
{
    form->textControl(u"edtFileNameRSS")->setText(QStringLiteral("feed.xml"));
    ui.saveFileNames = {path("feed.xml")};
    trigger("actExportRSS");
    EXPECT_EQ(ui.proposedNames, QStringList{"feed.xml"});
    EXPECT_EQ(ui.saveSuffixes, QStringList{"xml"});
    EXPECT_EQ(ui.saveFilters, QStringList{"RSS-Datei (*.xml)|*.xml|Alle Dateien (*.*)|*.*"});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(path("feed.xml")));
    // The project is neither saved nor named by an export.
    EXPECT_EQ(form->statusText(), "unbenannt.tvst");
}

TEST_F(ExportTest, ExistingFileIsReplacedOnlyAfterYes)
{
    const QString target = path("rss.xml");
    writeAll(target, "alt");
    ui.saveFileNames = {target};
    ui.answers = {UserInteraction::Answer::No};
    trigger("actExportRSS");
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].caption, QString::fromUtf8("Überschreiben bestätigen"));
    EXPECT_EQ(ui.proposedNames, QStringList{"rss.xml"});
    EXPECT_EQ(readAll(target), "alt");
    EXPECT_TRUE(ui.errors.isEmpty());

    ui.saveFileNames = {target};
    ui.answers = {UserInteraction::Answer::Yes};
    trigger("actExportRSS");
    EXPECT_TRUE(readAll(target).startsWith("<rss version=\"2.0\">"));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(ExportTest, CancelledDialogWritesNothing)
{
    ui.saveFileNames = {QString()};
    trigger("actExportRSS");
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.errors.isEmpty());
}
