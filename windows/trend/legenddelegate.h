#pragma once

#include <QStyledItemDelegate>

// A legend row of SeriesListModel: check box, swatch and name as the style
// draws them (a long name elided; the tooltip has it whole), and the latest
// value right-aligned in a column of its own that stays in view.
class LegendDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    static int valueWidth(const QFontMetrics &metrics);
};
