#include "trend/serieslistmodel.h"

#include "trend/chartgeometry.h"
#include "trend/samplestore.h"

#include <algorithm>

SeriesListModel::SeriesListModel(const SampleStore &store, Decoration decoration, QObject *parent)
    : QAbstractListModel(parent), m_store(store), m_decoration(std::move(decoration))
{
    for (const SampleStore::Series &s : store.series())
        m_rows.push_back(rowFor(s.name));
    connect(&store, &SampleStore::seriesAdded, this, &SeriesListModel::addRow);
    connect(&store, &SampleStore::cleared, this, &SeriesListModel::reset);
}

int SeriesListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant SeriesListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return row.name;
    case Qt::DecorationRole:
        return row.decoration;
    case Qt::CheckStateRole:
        return isShown(row.name) ? Qt::Checked : Qt::Unchecked;
    case Qt::ToolTipRole:
        return tr("Show or hide %1").arg(row.name);
    case Qt::AccessibleTextRole: {
        // The value is painted beside the name, which alone is all a screen reader would get.
        const QString latest = data(index, LatestValueRole).toString();
        return latest.isEmpty() ? row.name : tr("%1, latest %2").arg(row.name, latest);
    }
    case LatestValueRole: {
        const auto &all = m_store.series();
        if (size_t(index.row()) >= all.size())
            return QString();
        const auto &samples = all[size_t(index.row())].samples;
        // The last sample up to the moment: the one before the first after it.
        const auto end =
            !m_asOf ? samples.end()
                    : std::upper_bound(samples.begin(), samples.end(), *m_asOf,
                                       [](qint64 t, const SampleStore::Sample &s) { return t < s.msecs; });
        if (end == samples.begin())
            return QString();
        return ChartGeometry::exactText((end - 1)->value, QLocale());
    }
    default:
        return {};
    }
}

bool SeriesListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const QString &name = m_rows[size_t(index.row())].name;
    const bool shown = value.value<Qt::CheckState>() == Qt::Checked;
    if (shown == isShown(name))
        return true;
    if (shown)
        m_hidden.remove(name);
    else
        m_hidden.insert(name);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit shownChanged(name, shown);
    return true;
}

Qt::ItemFlags SeriesListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Selectable: a selected row brings its series to the front.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemNeverHasChildren;
}

void SeriesListModel::setAsOf(std::optional<qint64> msecs)
{
    if (msecs == m_asOf)
        return;
    m_asOf = msecs;
    refreshValues();
}

void SeriesListModel::refreshValues()
{
    if (!m_rows.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {LatestValueRole, Qt::AccessibleTextRole});
}

void SeriesListModel::addRow(int index)
{
    // The store only appends; anything else is read again whole.
    if (index != rowCount()) {
        reset();
        return;
    }
    beginInsertRows({}, index, index);
    m_rows.push_back(rowFor(m_store.series()[size_t(index)].name));
    endInsertRows();
}

void SeriesListModel::reset()
{
    beginResetModel();
    m_rows.clear();
    for (const SampleStore::Series &s : m_store.series())
        m_rows.push_back(rowFor(s.name));
    endResetModel();
}

SeriesListModel::Row SeriesListModel::rowFor(const QString &name) const
{
    return {name, m_decoration ? m_decoration(name) : QVariant()};
}
