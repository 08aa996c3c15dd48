#include "MainWindowFixture.h"
#include "app/uEntryDlg.h"
#include "app/uImportDlg.h"
#include "document/uNews.h"
#include "support/TestHttpServer.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString feed(const char* name)
{
    return QStringLiteral(TAVISTREL_TEST_DATA_DIR "/feeds/") + QString::fromLatin1(name);
}

class ImportTest : public MainWindowTest
{
};

TEST_F(ImportTest, TheFeedBecomesTheCurrentUnnamedProjectAndTheReportIsShown)
{
    setTitle(QStringLiteral("Altes Projekt"));
    ui.answers = {UserInteraction::Answer::No};
    ui.feedSources = {feed("rss20_podcast.xml")};
    trigger("actImportFeed");

    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'\n').toStdString();
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, u"Soll die aktuelle Datei gespeichert werden?");
    EXPECT_EQ(title(), u"Podcast \"Hörbar\"");
    ASSERT_EQ(form->entries().size(), 2);
    EXPECT_EQ(form->entries().at(0).fileUrl, u"https://cdn.example.org/folge2.mp3?x=1&y=2");
    EXPECT_TRUE(form->checkControl(u"chkEnclosures")->isChecked());
    EXPECT_FALSE(form->isSaved());
    EXPECT_EQ(form->statusText(), u"unbenannt.tvst");
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains(u"Nicht übernommen: atom:* (1), itunes:* (4)"))
        << ui.messages[0].toStdString();
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(ImportTest, AFeedThatFitsCompletelyShowsNoMessage)
{
    ui.answers = {UserInteraction::Answer::No};
    ui.feedSources = {feed("windows1252.xml")};
    trigger("actImportFeed");
    EXPECT_EQ(title(), u"Café – Preise in €");
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(ui.errors.isEmpty());
}

// Cancel at the save question or in the dialog, or a source that is no feed:
// the project stays as it was.
TEST_F(ImportTest, CancelAndBadSourcesKeepTheProject)
{
    setTitle(QStringLiteral("Bleibt"));
    ui.answers = {UserInteraction::Answer::Cancel};
    trigger("actImportFeed");
    EXPECT_EQ(title(), u"Bleibt");

    ui.answers = {UserInteraction::Answer::No};
    ui.feedSources = {std::nullopt};
    trigger("actImportFeed");
    EXPECT_EQ(title(), u"Bleibt");

    ui.answers = {UserInteraction::Answer::No};
    ui.feedSources = {path("default.tvst")};
    trigger("actImportFeed");
    EXPECT_EQ(title(), u"Bleibt");
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(u"XML, aber kein Feed")) << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(ImportTest, DialogGivesTheChosenFileOrAddress)
{
    TfrmImport dialog(form.get(), ui);
    auto* ok = dialog.findChild<QPushButton*>("btOK");
    EXPECT_FALSE(ok->isEnabled());

    ui.openFileNames = {QStringLiteral("/tmp/feed.xml")};
    dialog.findChild<QPushButton*>("btBrowse")->click();
    EXPECT_EQ(ui.openFilters.last().left(6), u"Feeds ");
    EXPECT_EQ(dialog.source(), u"/tmp/feed.xml");
    EXPECT_TRUE(ok->isEnabled());

    auto* address = dialog.findChild<QLineEdit*>("edtAddress");
    address->setText(QStringLiteral(" https://example.org/feed "));
    emit address->textEdited(address->text()); // as typing does
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("rbAddress")->isChecked());
    EXPECT_EQ(dialog.source(), u"https://example.org/feed");
}

class EntryEnclosureTest : public MainWindowTest
{
};

TEST_F(EntryEnclosureTest, AnhangFieldsTravelAndErmittelnFillsSizeAndType)
{
    TestHttpServer server;
    server.route("/folge.mp3", {200, "audio/mpeg", QByteArray(2048, 'a'), {}});
    TfrmEntry dialog(form.get(), ui, &fixedNow);
    TNewsEntry entry;
    entry.fileUrl = QString::fromLatin1(server.baseUrl() + "/folge.mp3");
    dialog.LoadFromObject(entry);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edtFileUrl")->text(), entry.fileUrl);

    dialog.findChild<QPushButton*>("btDetermine")->click();
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(u'\n').toStdString();
    TNewsEntry saved;
    dialog.SaveToObject(saved);
    EXPECT_EQ(saved.fileUrl, entry.fileUrl);
    EXPECT_EQ(saved.filesize, u"2048");
    EXPECT_EQ(saved.mime, u"audio/mpeg");

    // A missing file: a German message, the fields as they were.
    dialog.findChild<QLineEdit*>("edtFileUrl")
        ->setText(QString::fromLatin1(server.baseUrl() + "/weg.mp3"));
    dialog.findChild<QPushButton*>("btDetermine")->click();
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains(u"konnten nicht ermittelt werden"))
        << ui.messages[0].toStdString();
    dialog.SaveToObject(saved);
    EXPECT_EQ(saved.filesize, u"2048");
}

} // namespace
