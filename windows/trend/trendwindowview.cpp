// The trend window's part in reading the data up close: the value axis fixed
// by typed bounds, the cursor's readout under the chart, a legend row that
// brings its series to the front, and the legend's values as of a held view.
#include "trend/samplestore.h"
#include "trend/serieslistmodel.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QBoxLayout>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <cmath>

namespace {

// A typed bound in the user's locale or as the device writes numbers.
std::optional<double> typedNumber(const QLineEdit &field)
{
    bool ok = false;
    double value = field.locale().toDouble(field.text().trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(field.text().trimmed(), &ok);
    return ok && std::isfinite(value) ? std::optional(value) : std::nullopt;
}

} // namespace

QLayout *TrendWindow::buildRangeFields()
{
    const auto field = [this](const QString &name, const QString &description) {
        auto *edit = new QLineEdit(this);
        edit->setPlaceholderText(tr("auto"));
        edit->setAccessibleName(name);
        edit->setAccessibleDescription(description);
        edit->setToolTip(description);
        edit->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-0000000.000")));
        connect(edit, &QLineEdit::textChanged, this, &TrendWindow::applyValueRange);
        return edit;
    };
    const QString both = tr("Left empty, the value axis follows the data");
    m_lowest = field(tr("Lowest value"), tr("Where the value axis starts. ") + both);
    m_highest = field(tr("Highest value"), tr("Where the value axis ends. ") + both);
    auto *row = new QHBoxLayout;
    auto *label = new QLabel(tr("Val&ues"), this);
    label->setBuddy(m_lowest);
    auto *to = new QLabel(tr("to"), this);
    to->setBuddy(m_highest);
    row->addWidget(label);
    row->addWidget(m_lowest);
    row->addWidget(to);
    row->addWidget(m_highest);
    return row;
}

void TrendWindow::applyValueRange()
{
    const std::optional<double> lowest = typedNumber(*m_lowest);
    const std::optional<double> highest = typedNumber(*m_highest);
    // Only a whole, sensible range is taken; anything less follows the data.
    const bool fixed = lowest && highest && *lowest < *highest;
    const bool typed = !m_lowest->text().trimmed().isEmpty() || !m_highest->text().trimmed().isEmpty();
    m_chart->setValueRange(fixed ? std::optional(std::pair(*lowest, *highest)) : std::nullopt);
    const QString why = typed && !fixed ? tr("Needs a lowest value below a highest one") : QString();
    for (QLineEdit *edit : {m_lowest, m_highest}) {
        edit->setStyleSheet(why.isEmpty() ? QString()
                                          : QStringLiteral("QLineEdit { border: 1px solid #B00020; }"));
        edit->setToolTip(why.isEmpty() ? edit->accessibleDescription() : why);
    }
}

QLayout *TrendWindow::buildChartColumn()
{
    m_readout = new QLabel(this);
    m_readout->setAccessibleName(tr("Cursor readout"));
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QString hint = tr(
        "+ and − or the wheel zoom, ← and → pan, Shift+← and → move the cursor, End: live, Home: all held");
    m_readout->setText(hint);
    // Many series make a long readout: it wraps in at most three lines and
    // never widens the window; the whole of it is its tooltip and, for a
    // screen reader, its description.
    m_readout->setWordWrap(true);
    m_readout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_readout->setMinimumHeight(m_readout->fontMetrics().lineSpacing() * 2 + 4);
    m_readout->setMaximumHeight(m_readout->fontMetrics().lineSpacing() * 3 + 4);
    connect(m_chart, &TrendChart::cursorRead, m_readout, [this, hint](const QString &readout) {
        m_readout->setText(readout.isEmpty() ? hint : readout);
        m_readout->setToolTip(readout);
        m_readout->setAccessibleDescription(readout);
    });
    m_rangeFields = buildRangeFields(); // placed when the legend is built
    auto *column = new QVBoxLayout;
    column->addWidget(m_chart, 1);
    column->addWidget(m_readout);
    return column;
}

void TrendWindow::connectView(QPushButton *clear)
{
    // A zoom or pan holds the view as Pause does; End lets it go.
    connect(m_chart, &TrendChart::pausedChanged, m_pause, &QPushButton::setChecked);
    connect(m_chart, &TrendChart::viewMoved, m_series, [this](qint64, qint64 end, bool following) {
        m_series->setAsOf(following ? std::nullopt : std::optional(end));
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        m_droppedNotice->hide();
        m_refusedNotice->hide();
    });
    // The value range heads the legend column, beside the values it bounds,
    // and leaves the tools above room on a narrow screen.
    if (auto *legendColumn = qobject_cast<QVBoxLayout *>(m_legend->parentWidget()->layout()))
        legendColumn->insertLayout(0, m_rangeFields);
    // A long name is elided in its row, never pushing the values out of view.
    m_legend->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Hovered or selected, a legend row's series comes to the front.
    m_legend->setSelectionMode(QAbstractItemView::SingleSelection);
    m_legend->setMouseTracking(true);
    m_legend->viewport()->installEventFilter(this);
    connect(m_legend, &QListView::entered, this, [this](const QModelIndex &index) {
        m_hovered = index.data().toString();
        highlightSeries();
    });
    connect(m_legend->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TrendWindow::highlightSeries);
}

bool TrendWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_legend->viewport() && event->type() == QEvent::Leave) {
        m_hovered.clear();
        highlightSeries();
    }
    return QWidget::eventFilter(watched, event);
}

void TrendWindow::highlightSeries()
{
    const QModelIndexList selected = m_legend->selectionModel()->selectedIndexes();
    m_chart->setHighlighted(!m_hovered.isEmpty() ? m_hovered
                            : selected.isEmpty() ? QString()
                                                 : selected.front().data().toString());
}
