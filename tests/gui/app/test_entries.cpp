#include "MainWindowFixture.h"
#include "app/uEntryDlg.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimeEdit>

using Answer = UserInteraction::Answer;

namespace {

QLineEdit* field(TfrmEntry& dialog, const char* name)
{
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}

} // namespace

class EntriesTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        const QString file =
            writeProject(QStringLiteral("liste.tvst"), QStringLiteral("Liste"), {"A", "B", "C"});
        ui.openFileNames = {file};
        ui.answers.push_back(UserInteraction::Answer::No); // the save question
        trigger("actOpen");
        ui.questions.clear();
        list = form->findChild<QTableWidget*>("lstNews");
    }

    QStringList titles() const
    {
        QStringList result;
        for (int i = 0; i < form->entries().size(); ++i)
            result << form->entries().at(i).title;
        return result;
    }

    QStringList rowTitles() const
    {
        QStringList result;
        for (int i = 0; i < list->rowCount(); ++i)
            result << list->item(i, 0)->text();
        return result;
    }

    // The entry dialog, "shown": the function plays the user and answers OK
    // (true) or Cancel.
    void onDialog(std::function<bool(TfrmEntry&)> user)
    {
        form->setEntryDialogRunner([this, user](TfrmEntry& d) {
            ++dialogs;
            return user(d);
        });
    }

    QTableWidget* list = nullptr;
    int dialogs = 0;
};

TEST_F(EntriesTest, ListShowsTitleRegionalMomentAndLink)
{
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "Titel");
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Datum / Uhrzeit");
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), "Link");
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(list->item(0, 1)->text(), "24.12.2008 - 07:05:09");
    EXPECT_EQ(list->item(0, 2)->text(), "https://example.org/A");
}

TEST_F(EntriesTest, NewEntryGoesToTheTopWithFreshValues)
{
    onDialog([](TfrmEntry& d) {
        field(d, "edtTitel")->setText(QStringLiteral("Neu"));
        return true;
    });
    form->selectEntry(1);
    form->findChild<QAbstractButton*>("btNewNews")->click();

    EXPECT_EQ(titles(), (QStringList{"Neu", "A", "B", "C"}));
    EXPECT_EQ(rowTitles(), titles());
    EXPECT_EQ(form->selectedEntryIndex(), -1);
    const TNewsEntry& added = form->entries().at(0);
    EXPECT_EQ(added.guid.size(), 38);
    EXPECT_EQ(added.date, QDate(2009, 2, 20));
    EXPECT_EQ(added.time, QTime(18, 48, 5));
    EXPECT_FALSE(added.chkPublish);
    EXPECT_TRUE(added.fileUrl.isEmpty() && added.filesize.isEmpty() && added.mime.isEmpty());
    EXPECT_EQ(list->item(0, 1)->text(), "20.02.2009 - 18:48:05");

    onDialog([](TfrmEntry&) { return false; });
    form->findChild<QAbstractButton*>("btNewNews")->click();
    EXPECT_EQ(titles(), (QStringList{"Neu", "A", "B", "C"}));
}

TEST_F(EntriesTest, EditThenCancelLeavesTheEntryUntouched)
{
    const TNewsEntry before = form->entries().at(1);
    form->selectEntry(1);
    onDialog([&](TfrmEntry& d) {
        // The entry's values replace what the dialog's creation proposed.
        EXPECT_EQ(field(d, "edtGUID")->text(), before.guid);
        EXPECT_EQ(d.findChild<QDateEdit*>("datePublish")->date(), before.date);
        field(d, "edtTitel")->setText(QStringLiteral("verworfen"));
        return false;
    });
    form->findChild<QAbstractButton*>("btEditNews")->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(form->entries().at(1) == before);
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B", "C"}));
}

TEST_F(EntriesTest, EditOkChangesTheEntryInPlaceAndKeepsHiddenFields)
{
    // Fields the dialog does not show must survive an edit.
    FeedDocument document = form->documentFromControls();
    document.entries.at(1).homepage = QStringLiteral("https://autor.example.org");
    document.entries.at(1).fileUrl = QStringLiteral("datei.mp3");
    form->applyToControls(document);
    const TNewsEntry before = form->entries().at(1);

    form->selectEntry(1);
    onDialog([](TfrmEntry& d) {
        field(d, "edtTitel")->setText(QStringLiteral("B2"));
        return true;
    });
    form->findChild<QAbstractButton*>("btEditNews")->click();

    TNewsEntry expected = before;
    expected.title = QStringLiteral("B2");
    EXPECT_TRUE(form->entries().at(1) == expected);
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B2", "C"}));
    EXPECT_EQ(form->selectedEntryIndex(), -1);

    // A double-click edits as well.
    form->selectEntry(2);
    emit list->cellDoubleClicked(2, 0);
    EXPECT_EQ(dialogs, 2);
    EXPECT_EQ(titles(), (QStringList{"A", "B2", "B2"}));
}

TEST_F(EntriesTest, DeleteAsksFirst)
{
    form->selectEntry(1);
    ui.answers = {Answer::No};
    form->findChild<QAbstractButton*>("btDelete")->click();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].caption, QString::fromUtf8("Eintrag löschen?"));
    EXPECT_EQ(ui.questions[0].text,
              QString::fromUtf8("Soll der aktuelle Eintrag gelöscht werden?"));
    EXPECT_EQ(ui.questions[0].icon, UserInteraction::Icon::Question);
    EXPECT_FALSE(ui.questions[0].withCancel);
    EXPECT_EQ(titles(), (QStringList{"A", "B", "C"}));

    ui.answers = {Answer::Yes};
    form->findChild<QAbstractButton*>("btDelete")->click();
    EXPECT_EQ(titles(), (QStringList{"A", "C"}));
    EXPECT_EQ(rowTitles(), titles());
    EXPECT_EQ(form->selectedEntryIndex(), -1);
}

TEST_F(EntriesTest, MoveKeepsTheMovedEntrySelected)
{
    struct Case
    {
        const char* button;
        int selected;
        QStringList order;
        int selectedAfter;
    };
    const Case cases[] = {
        {"btUp", 1, {"B", "A", "C"}, 0},   {"btUp", 2, {"A", "C", "B"}, 1},
        {"btUp", 0, {"A", "B", "C"}, 0}, // first row: nothing happens
        {"btDown", 1, {"A", "C", "B"}, 2}, {"btDown", 0, {"B", "A", "C"}, 1},
        {"btDown", 2, {"A", "B", "C"}, 2}, // last row: nothing happens
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " from " + std::to_string(c.selected));
        ui.openFileNames = {path("liste.tvst")};
        ui.answers.push_back(UserInteraction::Answer::No); // the save question
        trigger("actOpen");
        form->selectEntry(c.selected);
        form->findChild<QAbstractButton*>(c.button)->click();
        EXPECT_EQ(titles(), c.order);
        EXPECT_EQ(rowTitles(), c.order);
        EXPECT_EQ(form->selectedEntryIndex(), c.selectedAfter);
    }
}

TEST_F(EntriesTest, CommandsWithoutSelectionDoNothing)
{
    onDialog([](TfrmEntry&) { return true; });
    form->selectEntry(-1);
    for (const char* button : {"btEditNews", "btDelete", "btUp", "btDown"})
        form->findChild<QAbstractButton*>(button)->click();
    EXPECT_EQ(titles(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(EntriesTest, ProjectWithoutEntriesShowsAnEmptyList)
{
    ui.answers = {Answer::No};
    trigger("actNew");
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_TRUE(form->entries().isEmpty());
}

TEST_F(EntriesTest, EnterPressesNoButtonAndEscapeCancels)
{
    TfrmEntry dialog(form.get(), ui, &fixedNow);
    focus(field(dialog, "edtTitel"));
    // A default button would be pressed by Enter; fail here rather than open
    // a modal editor below.
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        ASSERT_FALSE(button->isDefault()) << button->objectName().toStdString();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(field(dialog, "edtTitel"), &press);
        EXPECT_TRUE(dialog.isVisible()) << key;
        EXPECT_EQ(dialog.result(), 0) << key;
    }
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(field(dialog, "edtTitel"), &escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(ui.errors.isEmpty());
    dialog.hide();
}
