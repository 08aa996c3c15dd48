// The entry list commands of the main window.
#include "EntryListModel.h"
#include "uEntryDlg.h"
#include "uMain.h"

#include <QItemSelectionModel>
#include <QTableView>
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

// The selection and the current row follow the moved entry by themselves, so
// the view no longer scrolls on its own to where the entry went.
void TForm1::showMovedEntry(int index)
{
    selectEntry(index);
    lstNews->scrollTo(m_entryModel->index(index, 0));
}

void TForm1::RefreshNewsList()
{
    lstNews->clearSelection();
    m_entryModel->refresh();
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
    m_entryModel->insertFront(std::move(entry));
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
    m_entryModel->entryChanged(index);
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
    m_entryModel->deleteAt(index);
    // The view selects the row that takes the deleted one's place; no entry
    // stays selected after a delete.
    lstNews->clearSelection();
}

void TForm1::btUpClick()
{
    const int index = selectedEntryIndex();
    if (index <= 0)
        return;
    m_entryModel->exchangeWithNext(index - 1);
    showMovedEntry(index - 1);
}

void TForm1::btDownClick()
{
    const int index = selectedEntryIndex();
    if (index < 0 || index + 1 >= ListField.size())
        return;
    m_entryModel->exchangeWithNext(index);
    showMovedEntry(index + 1);
}
