#include "app/trendwindow.h"

#include "app/dialogs.h"
#include "app/trendchart.h"
#include "link/numbertext.h"
#include "trend/sampleexport.h"
#include "trend/safefile.h"
#include "trend/samplestore.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using namespace std::chrono_literals;

namespace {

struct SpanChoice
{
    const char *text;
    std::chrono::milliseconds span; // zero: everything held
};
const SpanChoice kSpans[] = {{"1 min", 1min}, {"10 min", 10min}, {"1 h", 1h}, {"Everything held", 0ms}};

// A stretch of the series' line, dashes and dots as in the chart.
QIcon swatch(const TrendChart::SeriesStyle &style)
{
    QPixmap pix(QSize(24, 24));
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setPen(QPen(style.colour, 3, style.line, Qt::FlatCap));
    p.drawLine(QPointF(1, 12), QPointF(23, 12));
    return QIcon(pix);
}

QString stamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

} // namespace

TrendWindow::TrendWindow(SampleStore &store, Dialogs &dialogs, const QString &name, const QString &folder,
                         QWidget *parent)
    : QWidget(parent, Qt::Window), m_store(store), m_dialogs(dialogs), m_name(name), m_folder(folder)
{
    setWindowTitle(QStringLiteral("Trend: ") + name);
    m_chart = new TrendChart(store, this);

    m_span = new QComboBox(this);
    for (const SpanChoice &choice : kSpans)
        m_span->addItem(tr(choice.text));
    auto *scale = new QComboBox(this);
    scale->addItems({tr("One axis"), tr("Stacked")});
    scale->setToolTip(tr("All series on one value axis, or each in a strip with its own"));
    m_pause = new QPushButton(tr("Pause"), this);
    m_pause->setCheckable(true);
    auto *clear = new QPushButton(tr("Clear"), this);
    auto *saveImage = new QPushButton(tr("Save image…"), this);
    auto *exportCsv = new QPushButton(tr("Export CSV…"), this);
    auto *tools = new QHBoxLayout;
    tools->addWidget(new QLabel(tr("Span:"), this));
    tools->addWidget(m_span);
    tools->addWidget(scale);
    tools->addWidget(m_pause);
    tools->addWidget(clear);
    tools->addStretch(1);
    tools->addWidget(saveImage);
    tools->addWidget(exportCsv);

    m_droppedNotice = new QLabel(this);
    m_droppedNotice->setText(
        tr("Only the last %1 samples of each series are kept: older ones have been dropped.")
            .arg(locale().toString(store.maxSamplesPerSeries())));
    m_droppedNotice->setVisible(store.hasDropped());

    auto *body = new QHBoxLayout;
    body->addWidget(m_chart, 1);
    body->addWidget(buildLegend());
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_droppedNotice);
    layout->addLayout(body, 1);
    resize(860, 480);

    connect(m_span, &QComboBox::currentIndexChanged, this, &TrendWindow::chooseSpan);
    connect(scale, &QComboBox::currentIndexChanged, m_chart,
            [this](int view) { m_chart->setStacked(view == 1); });
    connect(m_pause, &QPushButton::toggled, m_chart, &TrendChart::setPaused);
    connect(clear, &QPushButton::clicked, &store, &SampleStore::clear);
    connect(saveImage, &QPushButton::clicked, this, &TrendWindow::saveImage);
    connect(exportCsv, &QPushButton::clicked, this, &TrendWindow::exportCsv);
    connect(m_chart, &TrendChart::refreshed, this, &TrendWindow::updateLegendValues);
    connect(&store, &SampleStore::seriesAdded, this, &TrendWindow::addLegendRow);
    connect(&store, &SampleStore::cleared, this, &TrendWindow::clearLegend);
    connect(&store, &SampleStore::samplesDropped, m_droppedNotice, &QWidget::show);
}

QWidget *TrendWindow::buildLegend()
{
    auto *legend = new QWidget(this);
    m_legend = new QGridLayout(legend);
    m_legend->setContentsMargins(4, 0, 0, 0);
    m_legend->setColumnMinimumWidth(1, 70);
    for (int i = 0; i < int(m_store.series().size()); ++i)
        addLegendRow(i);
    return legend;
}

void TrendWindow::addLegendRow(int index)
{
    const QString name = m_store.series()[size_t(index)].name;
    auto *shown = new QCheckBox(name);
    shown->setIcon(swatch(m_chart->seriesStyle(name)));
    shown->setChecked(m_chart->isSeriesShown(name));
    shown->setToolTip(tr("Show or hide %1").arg(name));
    auto *value = new QLabel;
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The stretch row moves down as rows are added.
    m_legend->setRowStretch(index, 0);
    m_legend->addWidget(shown, index, 0);
    m_legend->addWidget(value, index, 1);
    m_legend->setRowStretch(index + 1, 1);
    m_legendRows.push_back({shown, value});
    connect(shown, &QCheckBox::toggled, m_chart,
            [this, name](bool on) { m_chart->setSeriesShown(name, on); });
    updateLegendValues();
}

void TrendWindow::clearLegend()
{
    for (const LegendRow &row : m_legendRows) {
        delete row.shown;
        delete row.value;
    }
    m_legendRows.clear();
}

void TrendWindow::updateLegendValues()
{
    const auto &all = m_store.series();
    for (size_t i = 0; i < m_legendRows.size() && i < all.size(); ++i)
        if (!all[i].samples.empty())
            m_legendRows[i].value->setText(formatReplyNumber(float(all[i].samples.back().value), locale()));
}

void TrendWindow::chooseSpan(int choice)
{
    if (choice >= 0 && choice < int(std::size(kSpans)))
        m_chart->setSpan(kSpans[choice].span);
}

void TrendWindow::saveImage()
{
    m_dialogs.askSaveFile(
        {tr("Save image"), m_folder, m_name + QStringLiteral("-trend-") + stamp() + ".png",
         tr("PNG images (*.png)"), this},
        [this](const QString &path) {
            // What is on screen: the chart and its legend beside it.
            const QRect shown = m_chart->geometry().united(m_legend->parentWidget()->geometry());
            // Encoded whole before the file is touched: a full disk leaves no half PNG.
            QByteArray png;
            QBuffer buffer(&png);
            QString why;
            if (!grab(shown).save(&buffer, "PNG"))
                why = tr("the image could not be encoded");
            else
                why = writeFileWhole(path, png);
            if (!why.isEmpty())
                m_dialogs.warn(tr("Image not saved"),
                               tr("The image could not be saved to %1: %2.").arg(path, why));
        });
}

void TrendWindow::exportCsv()
{
    m_dialogs.askSaveFile(
        {tr("Export CSV"), m_folder, m_name + QStringLiteral("-samples-") + stamp() + ".csv",
         tr("CSV files (*.csv)"), this},
        [this](const QString &path) {
            if (const QString why = writeFileWhole(path, samplesAsCsv(m_store)); !why.isEmpty())
                m_dialogs.warn(tr("CSV not exported"),
                               tr("The samples could not be written to %1: %2.").arg(path, why));
        });
}
