#pragma once

#include <QAbstractListModel>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class SampleStore;

// The store's series as a list for a legend: one row per series in order of
// arrival; the name to show, the latest value (or the last up to a moment) as text, and a check box for
// whether the chart shows it; for a screen reader the name with the latest
// value. Rows follow the store; the values are read when
// asked and announced only by refreshValues(), so a sample costs the model nothing.
class SeriesListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { LatestValueRole = Qt::UserRole + 1 };
    // A series' swatch for Qt::DecorationRole, asked once per row; the chart
    // above this layer knows the colours.
    using Decoration = std::function<QVariant(const QString &name)>;

    explicit SeriesListModel(const SampleStore &store, Decoration decoration = {}, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    bool isShown(const QString &name) const { return !m_hidden.contains(name); }

    // The values as of a moment (a paused or zoomed chart's end): each
    // series' last sample up to it. None: the latest.
    void setAsOf(std::optional<qint64> msecs);

public slots:
    // One dataChanged for every row's latest value: called at the chart's pace, not per sample.
    void refreshValues();

signals:
    void shownChanged(const QString &name, bool shown);

private:
    struct Row
    {
        QString name;
        QVariant decoration;
    };
    void addRow(int index);
    // Read again whole from the store (empty after a Clear).
    void reset();
    Row rowFor(const QString &name) const;

    const SampleStore &m_store;
    Decoration m_decoration;
    std::vector<Row> m_rows;
    // By name, as the chart keeps it: a Clear does not show a hidden series again.
    QSet<QString> m_hidden;
    std::optional<qint64> m_asOf;
};
