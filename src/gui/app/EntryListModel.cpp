#include "EntryListModel.h"

#include "platform/RegionalSettings.h"

#include <stdexcept>

EntryListModel::EntryListModel(NewsEntryList& entries, QObject* parent)
    : QAbstractTableModel(parent), m_entries(entries)
{
}

int EntryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

int EntryListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    // The window lends its list while it saves; a row asked for then is empty.
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const TNewsEntry& entry = m_entries.at(index.row());
    switch (index.column()) {
    case Title:
        return entry.title;
    case Moment:
        return cachedMoment(entry);
    case Link:
        return entry.link;
    default:
        return {};
    }
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Title:
        return QStringLiteral("Titel");
    case Moment:
        return QStringLiteral("Datum / Uhrzeit");
    case Link:
        return QStringLiteral("Link");
    default:
        return {};
    }
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

QString EntryListModel::momentText(const TNewsEntry& entry)
{
    const RegionalSettings& regional = RegionalSettings::current();
    return regional.formatDate(entry.date) + QStringLiteral(" - ") +
           regional.formatTime(entry.time);
}

const QString& EntryListModel::cachedMoment(const TNewsEntry& entry) const
{
    auto it = m_moments.find(&entry);
    if (it == m_moments.end())
        it = m_moments.insert(&entry, momentText(entry));
    return *it;
}

void EntryListModel::checkRow(int row) const
{
    if (row < 0 || row >= m_entries.size())
        throw std::out_of_range("EntryListModel: row out of range");
}

void EntryListModel::insertFront(std::unique_ptr<TNewsEntry> entry)
{
    beginInsertRows({}, 0, 0);
    m_entries.insertFront(std::move(entry));
    endInsertRows();
}

void EntryListModel::deleteAt(int row)
{
    checkRow(row);
    beginRemoveRows({}, row, row);
    // A later entry may be made at the same address.
    m_moments.remove(&m_entries.at(row));
    m_entries.deleteAt(row);
    endRemoveRows();
}

void EntryListModel::exchangeWithNext(int row)
{
    checkRow(row);
    checkRow(row + 1);
    // The lower row moves up: one move, and the selection and current row
    // follow the entries.
    beginMoveRows({}, row + 1, row + 1, {}, row);
    m_entries.exchange(row, row + 1);
    endMoveRows();
}

void EntryListModel::entryChanged(int row)
{
    checkRow(row);
    m_moments.remove(&m_entries.at(row));
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void EntryListModel::replaceAll(NewsEntryList entries)
{
    beginResetModel();
    m_moments.clear();
    m_entries = std::move(entries);
    endResetModel();
}

void EntryListModel::refresh()
{
    beginResetModel();
    m_moments.clear();
    endResetModel();
}
