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

void TForm1::RefreshNewsList()
{
    const RegionalSettings& regional = RegionalSettings::current();
    lstNews->clearSelection();
    lstNews->setRowCount(0);
    lstNews->setRowCount(ListField.size());
    for (int i = 0; i < ListField.size(); ++i) {
        const TNewsEntry& entry = ListField.at(i);
        const QString when = regional.formatDate(entry.date) + QStringLiteral(" - ") +
                             regional.formatTime(entry.time);
        const QString texts[] = {entry.title, when, entry.link};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setToolTip(texts[column]); // the whole text of a cut cell
            lstNews->setItem(i, column, item);
        }
    }
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
    RefreshNewsList();
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
    RefreshNewsList();
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
    RefreshNewsList();
}

void TForm1::btUpClick()
{
    const int index = selectedEntryIndex();
    if (index <= 0)
        return;
    ListField.exchange(index, index - 1);
    RefreshNewsList();
    selectEntry(index - 1);
}

void TForm1::btDownClick()
{
    const int index = selectedEntryIndex();
    if (index < 0 || index + 1 >= ListField.size())
        return;
    ListField.exchange(index, index + 1);
    RefreshNewsList();
    selectEntry(index + 1);
}
