#include "MainWindowFixture.h"
#include "app/uEntryDlg.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>

using Answer = UserInteraction::Answer;

namespace {

QLineEdit* field(TfrmEntry& dialog, const char* name)
{
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}

// What the list's model tells its view, one line per signal.
class ModelSignals
{
public:
    explicit ModelSignals(QAbstractItemModel* model)
    {
        auto rows = [this](const char* what) {
            return [this, what](const QModelIndex&, int first, int last) {
                lines << QStringLiteral("%1 %2-%3").arg(QLatin1String(what)).arg(first).arg(last);
            };
        };
        m_connections = {
            QObject::connect(model, &QAbstractItemModel::rowsInserted, rows("inserted")),
            QObject::connect(model, &QAbstractItemModel::rowsRemoved, rows("removed")),
            QObject::connect(
                model, &QAbstractItemModel::rowsMoved,
                [this](const QModelIndex&, int first, int last, const QModelIndex&, int to) {
                    lines << QStringLiteral("moved %1-%2 to %3").arg(first).arg(last).arg(to);
                }),
            QObject::connect(model, &QAbstractItemModel::dataChanged,
                             [this](const QModelIndex& from, const QModelIndex& to) {
                                 lines << QStringLiteral("changed %1,%2-%3,%4")
                                              .arg(from.row())
                                              .arg(from.column())
                                              .arg(to.row())
                                              .arg(to.column());
                             }),
            QObject::connect(model, &QAbstractItemModel::modelReset, [this] { lines << "reset"; }),
            QObject::connect(model, &QAbstractItemModel::layoutChanged,
                             [this] { lines << "layout"; }),
        };
    }
    ~ModelSignals()
    {
        for (const auto& c : m_connections)
            QObject::disconnect(c);
    }

    QStringList lines;

private:
    QList<QMetaObject::Connection> m_connections;
};

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
        list = entryView();
    }

    QStringList titles() const
    {
        QStringList result;
        for (int i = 0; i < form->entries().size(); ++i)
            result << form->entries().at(i).title;
        return result;
    }

    // The list as the file has it, after the save question.
    void reopen()
    {
        ui.openFileNames = {path("liste.tvst")};
        ui.answers.push_back(Answer::No);
        trigger("actOpen");
    }

    QString header(int column) const
    {
        return list->model()->headerData(column, Qt::Horizontal).toString();
    }

    QStringList rowTitles() const
    {
        QStringList result;
        for (int i = 0; i < rowCount(list); ++i)
            result << cellText(list, i, 0);
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

    QTableView* list = nullptr;
    int dialogs = 0;
};

TEST_F(EntriesTest, ListShowsTitleRegionalMomentAndLink)
{
    ASSERT_EQ(list->model()->columnCount(), 3);
    EXPECT_EQ(header(0), "Titel");
    EXPECT_EQ(header(1), "Datum / Uhrzeit");
    EXPECT_EQ(header(2), "Link");
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(cellText(list, 0, 1), "24.12.2008 - 07:05:09");
    EXPECT_EQ(cellText(list, 0, 2), "https://example.org/A");
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
    EXPECT_EQ(cellText(list, 0, 1), "20.02.2009 - 18:48:05");

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
    emit list->doubleClicked(list->model()->index(2, 0));
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
    EXPECT_EQ(rowCount(list), 0);
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

// The list is a view over the entries: each command tells it only the rows it
// touched, and only a whole new project rebuilds it.
TEST_F(EntriesTest, EachCommandTouchesOnlyItsRows)
{
    struct Case
    {
        const char* name;
        std::function<void()> run;
        QStringList signalLines;
    };
    auto click = [this](const char* button, int selected) {
        return [=, this] {
            form->selectEntry(selected);
            form->findChild<QAbstractButton*>(button)->click();
        };
    };
    const Case cases[] = {
        {"new", click("btNewNews", 1), {"inserted 0-0"}},
        {"edit", click("btEditNews", 1), {"changed 1,0-1,2"}},
        {"delete", click("btDelete", 1), {"removed 1-1"}},
        {"up", click("btUp", 1), {"moved 1-1 to 0"}},
        {"down", click("btDown", 1), {"moved 2-2 to 1"}},
        {"open", [this] { reopen(); }, {"reset"}},
        {"new project",
         [this] {
             ui.answers = {Answer::No};
             trigger("actNew");
         },
         {"reset"}},
    };
    onDialog([](TfrmEntry&) { return true; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reopen();
        ui.answers = {Answer::Yes}; // the delete question
        ModelSignals seen(list->model());
        c.run();
        EXPECT_EQ(seen.lines, c.signalLines);
        EXPECT_EQ(rowTitles(), titles());
    }
}

TEST_F(EntriesTest, MovedEntryStaysSelectedAndCurrent)
{
    form->selectEntry(2);
    form->findChild<QAbstractButton*>("btUp")->click();
    form->findChild<QAbstractButton*>("btUp")->click();
    EXPECT_EQ(titles(), (QStringList{"C", "A", "B"}));
    EXPECT_EQ(form->selectedEntryIndex(), 0);
    EXPECT_EQ(list->currentIndex().row(), 0);
    form->findChild<QAbstractButton*>("btDown")->click();
    EXPECT_EQ(titles(), (QStringList{"A", "C", "B"}));
    EXPECT_EQ(form->selectedEntryIndex(), 1);
    EXPECT_EQ(list->currentIndex().row(), 1);
}

// The moment's text is made once per entry; it must follow the entry through
// moves and be made anew after an edit, a delete and a load.
TEST_F(EntriesTest, MomentTextFollowsItsEntry)
{
    EXPECT_EQ(cellText(list, 1, 1), "24.12.2008 - 07:05:09");
    form->selectEntry(1);
    onDialog([](TfrmEntry& d) {
        d.findChild<QDateEdit*>("datePublish")->setDate(QDate(2010, 1, 2));
        d.findChild<QTimeEdit*>("publishTime")->setTime(QTime(3, 4, 5));
        return true;
    });
    form->findChild<QAbstractButton*>("btEditNews")->click();
    EXPECT_EQ(cellText(list, 1, 1), "02.01.2010 - 03:04:05");
    EXPECT_EQ(cellText(list, 1, 1, Qt::ToolTipRole), "02.01.2010 - 03:04:05");

    form->selectEntry(1);
    form->findChild<QAbstractButton*>("btUp")->click();
    EXPECT_EQ(cellText(list, 0, 1), "02.01.2010 - 03:04:05");
    EXPECT_EQ(cellText(list, 1, 1), "24.12.2008 - 07:05:09");

    // A new entry after a delete shows its own moment.
    form->selectEntry(0);
    ui.answers = {Answer::Yes};
    form->findChild<QAbstractButton*>("btDelete")->click();
    onDialog([](TfrmEntry&) { return true; });
    form->findChild<QAbstractButton*>("btNewNews")->click();
    EXPECT_EQ(cellText(list, 0, 1), "20.02.2009 - 18:48:05");

    // Another project's entries, and other regional settings, after a load.
    RegionalSettings iso = RegionalSettings::german();
    iso.dateOrder = RegionalSettings::DateOrder::YearMonthDay;
    iso.dateSeparator = QStringLiteral("-");
    RegionalSettings::setCurrent(iso);
    reopen();
    EXPECT_EQ(cellText(list, 0, 1), "2008-12-24 - 07:05:09");
}

// Where the list is scrolled to stays put unless the moved entry would leave
// the view, which then follows it.
TEST_F(EntriesTest, CommandsKeepTheScrollPosition)
{
    QStringList many;
    for (int i = 0; i < 100; ++i)
        many << QStringLiteral("E%1").arg(i, 3, 10, QLatin1Char('0'));
    ui.openFileNames = {writeProject(QStringLiteral("viele.tvst"), QStringLiteral("Viele"), many)};
    ui.answers = {Answer::No};
    trigger("actOpen");
    focus(list);
    const int visible = list->viewport()->height() / list->verticalHeader()->defaultSectionSize();
    ASSERT_GE(visible, 5);

    struct Case
    {
        const char* button;
        int selected; // rows below the top row
        int topAfter; // the top row's shift
    };
    const Case cases[] = {
        {"btNewNews", 2, 0},        {"btEditNews", 2, 0}, {"btDelete", 2, 0}, {"btUp", 2, 0},
        {"btDown", 2, 0},           {"btUp", 0, -1}, // the entry goes above the view
        {"btDown", visible - 1, 1},                  // and below it
    };
    onDialog([](TfrmEntry&) { return true; });
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + std::to_string(c.selected));
        list->scrollTo(list->model()->index(40, 0), QAbstractItemView::PositionAtTop);
        QApplication::processEvents();
        ASSERT_EQ(list->rowAt(0), 40);
        form->selectEntry(40 + c.selected);
        ui.answers = {Answer::Yes};
        form->findChild<QAbstractButton*>(c.button)->click();
        QApplication::processEvents();
        EXPECT_EQ(list->rowAt(0), 40 + c.topAfter);
    }
    form->hide();
}
