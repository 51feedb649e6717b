#include "windows/trend/legenddelegate.h"

#include "trend/serieslistmodel.h"

#include <QPainter>

namespace {
constexpr int kGap = 6;
}

int LegendDelegate::valueWidth(const QFontMetrics &metrics)
{
    // Room for a reply number such as -12345.678; anything longer is elided.
    return metrics.horizontalAdvance(QStringLiteral("-12345.678")) + kGap;
}

void LegendDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    const int width = valueWidth(option.fontMetrics);
    QStyleOptionViewItem left = option;
    left.rect.setRight(option.rect.right() - width);
    QStyledItemDelegate::paint(painter, left, index);

    const QRect valueRect(left.rect.right() + 1, option.rect.top(), width - kGap / 2, option.rect.height());
    const QString value = index.data(SeriesListModel::LatestValueRole).toString();
    painter->save();
    // A selected row is selected across its value too.
    const bool selected = option.state & QStyle::State_Selected;
    if (selected)
        painter->fillRect(QRect(left.rect.right() + 1, option.rect.top(), width, option.rect.height()),
                          option.palette.brush(QPalette::Highlight));
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(valueRect, Qt::AlignRight | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(value, Qt::ElideRight, valueRect.width()));
    painter->restore();
}

QSize LegendDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // As wide as a short name whatever the name: the list then gives every
    // row its own width, and a long name is elided rather than widening the
    // rows past the view and the values out of sight.
    const QSize base = QStyledItemDelegate::sizeHint(option, index);
    const QFontMetrics &metrics = option.fontMetrics;
    const int name = metrics.horizontalAdvance(index.data().toString());
    return {base.width() - name + metrics.horizontalAdvance(QStringLiteral("NAME01")) + valueWidth(metrics),
            base.height()};
}
