#include "windows/chooser/portlist.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <numeric>

namespace {

// "by-id: usb-FTDI_…" keeps its kind and is cut from the left after it: the
// end of a stable name (serial number, interface, USB port) is what differs
// between two adapters of one make.
class StableNameDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QWidget *view = cell.widget;
        QStyle *style = view ? view->style() : QApplication::style();
        if (const qsizetype colon = cell.text.indexOf(QLatin1StringView(": ")); colon > 0) {
            const QString kind = cell.text.left(colon + 2);
            const int margins = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
            const int room = cell.rect.width() - margins - cell.fontMetrics.horizontalAdvance(kind);
            cell.text = kind + cell.fontMetrics.elidedText(cell.text.mid(colon + 2), Qt::ElideLeft, room);
        }
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, view);
    }
};

} // namespace

PortList::PortList(QWidget *parent) : QTreeWidget(parent)
{
    setItemDelegateForColumn(NameColumn, new StableNameDelegate(this));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setHeaderLabels(
        {tr("Device"), tr("State"), tr("Serial number"), tr("USB ID"), tr("Stable name"), tr("Description")});
    // Both ends of a by-id name matter: the maker at the start, the serial number near the end.
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Fixed);
}

QString PortList::stateText(const PortRow &row)
{
    switch (row.state) {
    case PortRow::State::Free:
        return tr("free");
    case PortRow::State::ThisPanel:
        return tr("this panel's port");
    case PortRow::State::InUse:
        return tr("in use by %1").arg(row.holder);
    case PortRow::State::Busy:
        return row.holder.isEmpty() ? tr("busy") : tr("busy, open in %1").arg(row.holder);
    case PortRow::State::NoPermission:
        return tr("no permission");
    case PortRow::State::NoHardware:
        return tr("no hardware");
    case PortRow::State::Missing:
        return tr("not there now");
    }
    return {};
}

void PortList::showRows(const QList<PortRow> &rows)
{
    const QString selected = selectedDevice();
    m_rows = rows;
    const QSignalBlocker quiet(this); // the path box keeps what the user typed
    clear();
    for (const PortRow &row : std::as_const(m_rows))
        fillRow(new QTreeWidgetItem(this), row);
    select(selected);
    fitColumns();
}

void PortList::showAnswer(const QString &device, const QString &answer, bool found)
{
    m_answers.insert(device, answer);
    if (found)
        m_found.insert(device);
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].device == device)
            fillRow(topLevelItem(i), m_rows[i]);
    fitColumns();
}

void PortList::clearAnswers()
{
    m_answers.clear();
    m_found.clear();
}

void PortList::fillRow(QTreeWidgetItem *item, const PortRow &row) const
{
    const auto answer = m_answers.constFind(row.device);
    const bool answered = answer != m_answers.cend();
    QString name;
    if (!row.typedPath.isEmpty())
        name = tr("typed: %1").arg(row.typedPath);
    else if (!row.stableName.isEmpty()) // the folder tells by-id from by-path; the rest is the same for all
        name =
            stableNameKind(row.stableName) + QLatin1StringView(": ") + QFileInfo(row.stableName).fileName();
    QString description = row.description;
    if (!row.manufacturer.isEmpty() && !description.contains(row.manufacturer))
        description =
            description.isEmpty() ? row.manufacturer : tr("%1 (%2)").arg(description, row.manufacturer);

    item->setText(DeviceColumn, row.device);
    item->setData(DeviceColumn, kTargetRole, row.bindTarget());
    item->setText(StateColumn, answered ? tr("answered %1").arg(*answer) : stateText(row));
    item->setText(SerialColumn, row.serialNumber);
    item->setText(UsbColumn, row.usbId);
    item->setText(NameColumn, name);
    item->setText(DescriptionColumn, description);
    // A cut text is read whole in its tooltip.
    for (int column = 0; column < columnCount(); ++column)
        item->setToolTip(column, item->text(column));
    item->setToolTip(NameColumn, !row.typedPath.isEmpty() ? row.typedPath : row.stableName);
    if (row.state == PortRow::State::NoPermission)
        item->setToolTip(StateColumn, row.advice);
    QFont font = item->font(DeviceColumn);
    font.setBold(m_found.contains(row.device));
    for (int column : {DeviceColumn, StateColumn})
        item->setFont(column, font);
    // A node with no chip behind it, or a path that names nothing now, is
    // listed, so nobody wonders where it went, but not offered.
    if (row.state == PortRow::State::NoHardware || row.state == PortRow::State::Missing)
        item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
}

QTreeWidgetItem *PortList::itemFor(const QString &device) const
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (QTreeWidgetItem *item = topLevelItem(i); item->text(DeviceColumn) == device)
            return item;
    return nullptr;
}

QString PortList::selectedDevice() const
{
    const QList<QTreeWidgetItem *> items = selectedItems();
    return items.isEmpty() ? QString() : items.first()->text(DeviceColumn);
}

void PortList::select(const QString &device)
{
    if (QTreeWidgetItem *item = itemFor(device); item && !device.isEmpty()) {
        setCurrentItem(item);
        scrollToItem(item);
    }
}

QList<int> PortList::naturalWidths()
{
    QList<int> widths;
    for (int column = 0; column < columnCount(); ++column)
        widths << qMax(sizeHintForColumn(column), header()->sectionSizeHint(column));
    return widths;
}

int PortList::naturalWidth()
{
    const QList<int> widths = naturalWidths();
    return std::accumulate(widths.cbegin(), widths.cend(), 0) + 2 * frameWidth() +
           verticalScrollBar()->sizeHint().width();
}

void PortList::resizeEvent(QResizeEvent *event)
{
    QTreeWidget::resizeEvent(event);
    fitColumns();
}

// Every column as wide as it needs while they all fit. Otherwise each is cut
// to at most its share: the state, the device and the stable name get more
// than the rest, the description least, so what tells ports apart stays legible.
void PortList::fitColumns()
{
    static constexpr double kShare[] = {1.2, 1.4, 1.0, 1.0, 1.2, 0.6}; // in Column order
    const QList<int> natural = naturalWidths();
    const int room = viewport()->width();
    const auto widthsAt = [&](double unit) {
        QList<int> widths;
        for (int column = 0; column < natural.size(); ++column)
            widths << qMin(natural[column], int(kShare[column] * unit));
        return widths;
    };
    const auto total = [](const QList<int> &widths) {
        return std::accumulate(widths.cbegin(), widths.cend(), 0);
    };
    // The largest unit at which they fit.
    double low = 0, high = *std::max_element(natural.cbegin(), natural.cend()) / 0.6 + 1;
    while (high - low > 0.5) {
        const double unit = (low + high) / 2;
        (total(widthsAt(unit)) <= room ? low : high) = unit;
    }
    QList<int> widths = widthsAt(low);
    widths[DescriptionColumn] += qMax(room - total(widths), 0); // what is left over
    for (int column = 0; column < widths.size(); ++column)
        header()->resizeSection(column, widths[column]);
}
