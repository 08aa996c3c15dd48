#pragma once

#include "document/NewsEntryList.h"

#include <QAbstractTableModel>
#include <QHash>

// The entry list as the list view shows it: title, moment and link of each
// entry, read straight from the window's list (no copy). Every change of the
// list goes through this model, which tells the view only the rows it
// touched; a whole new list is a reset.
//
// The moment's text is formatted when a row is first shown and kept until
// its entry is edited, deleted or the list replaced; it is keyed by the
// entry, so moves keep it.
class EntryListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Title, Moment, Link, ColumnCount };

    EntryListModel(NewsEntryList& entries, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The changes of the list. Rows out of range throw std::out_of_range
    // and change nothing.
    void insertFront(std::unique_ptr<TNewsEntry> entry);
    void deleteAt(int row);
    // Swaps the entries at row and row + 1, as one row move.
    void exchangeWithNext(int row);
    // After the entry at row was edited in place.
    void entryChanged(int row);
    // The list was or is to be replaced as a whole: a reset.
    void replaceAll(NewsEntryList entries);
    void refresh();

    // "20.02.2009 - 18:48:05" under German settings.
    static QString momentText(const TNewsEntry& entry);

private:
    const QString& cachedMoment(const TNewsEntry& entry) const;
    void checkRow(int row) const;

    NewsEntryList& m_entries;
    mutable QHash<const TNewsEntry*, QString> m_moments;
};
