// The entry list commands of the main window.
#include "platform/RegionalSettings.h"
#include "uEntryDlg.h"
#include "uMain.h"

#include <QItemSelectionModel>
#include <QTableWidget>
#include <memory>

int TForm1::selectedEntryIndex() const
{
    const QModelIndexList rows = lstNews->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void TForm1::selectEntry(int index)
{
    if (index < 0)
        lstNews->clearSelection();
    else
        lstNews->selectRow(index);
}

namespace {

// One row's cells. The items keep the texts, so the date and time are
// formatted once per entry and again only when that entry changes.
void fillRow(QTableWidget* list, int row, const TNewsEntry& entry)
{
    const RegionalSettings& regional = RegionalSettings::current();
    const QString when =
        regional.formatDate(entry.date) + QStringLiteral(" - ") + regional.formatTime(entry.time);
    const QString texts[] = {entry.title, when, entry.link};
    for (int column = 0; column < 3; ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        item->setToolTip(texts[column]); // the whole text of a cut cell
        list->setItem(row, column, item);
    }
}

void exchangeRows(QTableWidget* list, int a, int b)
{
    for (int column = 0; column < list->columnCount(); ++column) {
        QTableWidgetItem* first = list->takeItem(a, column);
        QTableWidgetItem* second = list->takeItem(b, column);
        list->setItem(a, column, second);
        list->setItem(b, column, first);
    }
}

} // namespace

void TForm1::RefreshNewsList()
{
    lstNews->clearSelection();
    lstNews->setRowCount(0);
    lstNews->setRowCount(ListField.size());
    for (int i = 0; i < ListField.size(); ++i)
        fillRow(lstNews, i, ListField.at(i));
}

bool TForm1::runEntryDialog(TfrmEntry& dialog)
{
    return m_runEntryDialog(dialog);
}

void TForm1::btNewNewsClick()
{
    TfrmEntry dialog(this, m_ui, m_options.clock);
    if (!runEntryDialog(dialog))
        return;
    auto entry = std::make_unique<TNewsEntry>();
    dialog.SaveToObject(*entry);
    ListField.insertFront(std::move(entry));
    lstNews->insertRow(0);
    fillRow(lstNews, 0, ListField.at(0));
    lstNews->clearSelection();
}

void TForm1::btEditNewsClick()
{
    const int index = selectedEntryIndex();
    if (index < 0)
        return;
    TNewsEntry& entry = ListField.at(index);
    TfrmEntry dialog(this, m_ui, m_options.clock);
    dialog.LoadFromObject(entry);
    if (!runEntryDialog(dialog))
        return;
    dialog.SaveToObject(entry);
    lstNews->clearSelection();
    fillRow(lstNews, index, entry);
}

void TForm1::btDeleteClick()
{
    const int index = selectedEntryIndex();
    if (index < 0)
        return;
    const UserInteraction::Answer answer =
        m_ui.ask(this, QStringLiteral("Eintrag löschen?"),
                 QStringLiteral("Soll der aktuelle Eintrag gelöscht werden?"),
                 UserInteraction::Icon::Question, false);
    if (answer != UserInteraction::Answer::Yes)
        return;
    ListField.deleteAt(index);
    lstNews->removeRow(index);
    // The view selects the row that takes the deleted one's place; no entry
    // stays selected after a delete.
    lstNews->clearSelection();
}

void TForm1::btUpClick()
{
    const int index = selectedEntryIndex();
    if (index <= 0)
        return;
    ListField.exchange(index, index - 1);
    exchangeRows(lstNews, index, index - 1);
    selectEntry(index - 1);
}

void TForm1::btDownClick()
{
    const int index = selectedEntryIndex();
    if (index < 0 || index + 1 >= ListField.size())
        return;
    ListField.exchange(index, index + 1);
    exchangeRows(lstNews, index, index + 1);
    selectEntry(index + 1);
}
