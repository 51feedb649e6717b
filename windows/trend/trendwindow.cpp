#include "windows/trend/trendwindow.h"

#include "trend/safefile.h"
#include "trend/sampleexport.h"
#include "trend/samplestore.h"
#include "trend/serieslistmodel.h"
#include "windows/common/dialogs.h"
#include "windows/trend/legenddelegate.h"
#include "windows/trend/trendaccess.h"
#include "windows/trend/trendchart.h"

#include <QAction>
#include <QBoxLayout>
#include <QBuffer>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStyle>

using namespace std::chrono_literals;

namespace {

struct SpanChoice
{
    const char *text;
    std::chrono::milliseconds span; // zero: everything held
};
const SpanChoice kSpans[] = {{"1 min", 1min}, {"10 min", 10min}, {"1 h", 1h}, {"Everything held", 0ms}};

// More names than this and the legend gets a filter box.
constexpr int kNamesWithoutFilter = 8;

// A stretch of the series' line, dashes and dots as in the chart.
QIcon swatch(const TrendChart::SeriesStyle &style)
{
    QPixmap pix(QSize(24, 12));
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setPen(QPen(style.colour, 3, style.line, Qt::FlatCap));
    p.drawLine(QPointF(1, 6), QPointF(23, 6));
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
    // What a screen reader says ("…" read out is noise). On Linux it names a
    // combo box by its choice and the label it is the buddy of.
    const auto describe = [](QWidget *w, const QString &name, const QString &description) {
        w->setAccessibleName(name);
        w->setAccessibleDescription(description);
    };
    describe(m_span, tr("Span"), {});
    describe(scale, tr("View"), {});
    TrendAccess::describeWithChoice(m_span, tr("How much of the past the chart shows"));
    TrendAccess::describeWithChoice(scale, scale->toolTip());
    describe(m_pause, tr("Pause"), tr("Holds the chart still; samples are still collected"));
    describe(clear, tr("Clear"), tr("Forgets every sample held"));
    describe(saveImage, tr("Save image"), tr("Saves the chart and its legend as a PNG image"));
    describe(exportCsv, tr("Export CSV"), tr("Writes every sample held to a CSV file"));
    auto *spanLabel = new QLabel(tr("&Span:"), this);
    spanLabel->setBuddy(m_span);
    auto *viewLabel = new QLabel(tr("&View:"), this);
    viewLabel->setBuddy(scale);
    auto *tools = new QHBoxLayout;
    tools->addWidget(spanLabel);
    tools->addWidget(m_span);
    tools->addWidget(viewLabel);
    tools->addWidget(scale);
    tools->addWidget(m_pause);
    tools->addWidget(clear);
    tools->addStretch(1);
    m_exportButton = exportCsv;
    m_export = new SampleExport(store, this);
    m_exportProgress = new QProgressBar(this);
    m_exportProgress->setAccessibleName(tr("Export progress"));
    m_exportProgress->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 16);
    m_cancelExport = new QPushButton(tr("Cancel export"), this);
    describe(m_cancelExport, tr("Cancel export"), tr("Stops the export and leaves the file as it was"));
    auto *files = new QHBoxLayout;
    files->addStretch(1);
    files->addWidget(saveImage);
    files->addWidget(exportCsv);
    files->addWidget(m_exportProgress);
    files->addWidget(m_cancelExport);
    showExporting(false);

    m_droppedNotice = new QLabel(this);
    m_droppedNotice->setText(
        tr("Only the last %1 samples of each series are kept: older ones have been dropped.")
            .arg(locale().toString(store.maxSamplesPerSeries())));
    m_droppedNotice->setVisible(store.hasDropped());
    m_droppedNotice->setWordWrap(true);
    m_refusedNotice = new QLabel(this);
    m_refusedNotice->setText(
        tr("Only the first %1 names are plotted; lines with other names are still recorded.")
            .arg(SampleStore::kMaxSeries));
    m_refusedNotice->setVisible(store.hasRefusedSeries());
    m_refusedNotice->setWordWrap(true);

    auto *body = new QHBoxLayout;
    body->addLayout(buildChartColumn(), 1);
    body->addWidget(buildLegend());
    // Never larger than the screen it opens on, whatever its size or scale
    // factor, with room for the frame a window manager adds; on a narrow
    // screen the file buttons go below the others.
    const QSize room = screen()->availableGeometry().size() * 0.9;
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    if (tools->sizeHint().width() + files->sizeHint().width() + 40 <= room.width())
        tools->addLayout(files);
    else
        layout->addLayout(files);
    layout->addWidget(m_droppedNotice);
    layout->addWidget(m_refusedNotice);
    layout->addLayout(body, 1);
    resize(QSize(860, 480).boundedTo(room));
    // Tab goes as the eye reads: the tools left to right, the file buttons,
    // the chart (a screen reader reads its values there), then the legend's
    // column: the value range, the filter, the list.
    QWidget *order[] = {m_span,  scale,    m_pause,   clear,    saveImage, exportCsv,
                        m_chart, m_lowest, m_highest, m_filter, m_legend};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_span, &QComboBox::currentIndexChanged, this, &TrendWindow::chooseSpan);
    connect(scale, &QComboBox::currentIndexChanged, m_chart,
            [this](int view) { m_chart->setStacked(view == 1); });
    connect(m_pause, &QPushButton::toggled, m_chart, &TrendChart::setPaused);
    connect(clear, &QPushButton::clicked, &store, &SampleStore::clear);
    connect(saveImage, &QPushButton::clicked, this, &TrendWindow::saveImage);
    connect(exportCsv, &QPushButton::clicked, this, &TrendWindow::exportCsv);
    connect(m_cancelExport, &QPushButton::clicked, m_export, &SampleExport::cancel);
    connect(m_export, &SampleExport::progressed, this, [this](qint64 made, qint64 held) {
        // Per mille: a bar's range is an int, the rows may be more.
        m_exportProgress->setValue(held > 0 ? int(made * 1000 / held) : 1000);
    });
    connect(&store, &SampleStore::samplesDropped, m_droppedNotice, &QWidget::show);
    connect(&store, &SampleStore::seriesRefused, m_refusedNotice, &QWidget::show);
    connectView(clear);
}

QWidget *TrendWindow::buildLegend()
{
    m_series = new SeriesListModel(
        m_store, [this](const QString &name) { return QVariant(swatch(m_chart->seriesStyle(name))); }, this);
    m_filtered = new QSortFilterProxyModel(this);
    m_filtered->setSourceModel(m_series);
    m_filtered->setFilterCaseSensitivity(Qt::CaseInsensitive);

    auto *legend = new QWidget(this);
    m_filter = new QLineEdit(legend);
    m_filter->setPlaceholderText(tr("Filter names"));
    m_filter->setAccessibleName(tr("Filter names"));
    m_filter->setAccessibleDescription(tr("Lists only the series whose names contain this text"));
    // A clear button of our own: Qt's leaves its action without a name for a screen reader.
    QAction *clearFilter = m_filter->addAction(style()->standardIcon(QStyle::SP_LineEditClearButton),
                                               QLineEdit::TrailingPosition);
    clearFilter->setText(tr("Clear filter"));
    clearFilter->setVisible(false);
    connect(clearFilter, &QAction::triggered, m_filter, &QLineEdit::clear);
    connect(m_filter, &QLineEdit::textChanged, clearFilter,
            [clearFilter](const QString &text) { clearFilter->setVisible(!text.isEmpty()); });
    m_legend = new QListView(legend);
    m_legend->setAccessibleName(tr("Series shown"));
    m_legend->setAccessibleDescription(
        tr("Each series with its latest value; Space shows or hides the current one"));
    m_legend->setModel(m_filtered);
    m_legend->setItemDelegate(new LegendDelegate(m_legend));
    // Every row alike: the view lays out any number of them without asking each.
    m_legend->setUniformItemSizes(true);
    m_legend->setSelectionMode(QAbstractItemView::NoSelection);
    m_legend->setIconSize(QSize(24, 12));
    TrendAccess::followLegend(m_legend);
    auto *column = new QVBoxLayout(legend);
    column->setContentsMargins(4, 0, 0, 0);
    column->addWidget(m_filter);
    column->addWidget(m_legend, 1);
    // Wide enough for a name and a value; long names are elided, not the chart squeezed.
    legend->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24 + 56);

    connect(m_filter, &QLineEdit::textChanged, m_filtered, &QSortFilterProxyModel::setFilterFixedString);
    connect(m_series, &SeriesListModel::shownChanged, m_chart, &TrendChart::setSeriesShown);
    connect(m_chart, &TrendChart::refreshed, m_series, &SeriesListModel::refreshValues);
    connect(m_series, &QAbstractItemModel::rowsInserted, this, &TrendWindow::showFilterWhenNeeded);
    connect(m_series, &QAbstractItemModel::modelReset, this, &TrendWindow::showFilterWhenNeeded);
    showFilterWhenNeeded();
    return legend;
}

void TrendWindow::showFilterWhenNeeded()
{
    const bool needed = m_series->rowCount() > kNamesWithoutFilter;
    if (!needed)
        m_filter->clear(); // a hidden filter must not hide rows
    m_filter->setVisible(needed);
}

void TrendWindow::chooseSpan(int choice)
{
    if (choice >= 0 && choice < int(std::size(kSpans)))
        m_chart->setSpan(kSpans[choice].span);
}

void TrendWindow::saveImage()
{
    m_dialogs.askSaveFile({tr("Save image"), m_folder, m_name + QStringLiteral("-trend-") + stamp() + ".png",
                           tr("PNG images (*.png)"), this},
                          [this](const QString &path) {
                              // What is on screen: the chart with its readout and its legend beside it.
                              const QRect shown = m_chart->geometry()
                                                      .united(m_readout->geometry())
                                                      .united(m_legend->parentWidget()->geometry());
                              // Encoded whole before the file is touched: a full disk leaves no half PNG.
                              QByteArray png;
                              QBuffer buffer(&png);
                              QString why;
                              if (!grab(shown).save(&buffer, "PNG"))
                                  why = tr("the image could not be encoded");
                              else
                                  why = writeFileWhole(path, png);
                              if (!why.isEmpty())
                                  m_dialogs.warn(
                                      tr("Image not saved"),
                                      tr("The image could not be saved to %1: %2.").arg(path, why));
                          });
}

void TrendWindow::exportCsv()
{
    m_dialogs.askSaveFile(
        {tr("Export CSV"), m_folder, m_name + QStringLiteral("-samples-") + stamp() + ".csv",
         tr("CSV files (*.csv)"), this},
        [this](const QString &path) {
            // The rows are made between events and written by a thread: the
            // device, the polls and the chart go on meanwhile.
            disconnect(m_export, &SampleExport::finished, this, nullptr);
            if (const QString why = m_export->start(path); !why.isEmpty()) {
                m_dialogs.warn(tr("CSV not exported"),
                               tr("The samples could not be written to %1: %2.").arg(path, why));
                return;
            }
            showExporting(true);
            connect(m_export, &SampleExport::finished, this,
                    [this, path](SampleExport::Outcome outcome, const QString &why) {
                        showExporting(false);
                        if (outcome == SampleExport::Outcome::Failed)
                            m_dialogs.warn(tr("CSV not exported"),
                                           tr("The samples could not be written to %1: %2.").arg(path, why));
                    });
        });
}

void TrendWindow::showExporting(bool exporting)
{
    m_exportProgress->setValue(0);
    m_exportProgress->setRange(0, 1000);
    m_exportProgress->setVisible(exporting);
    m_cancelExport->setVisible(exporting);
    m_exportButton->setEnabled(!exporting);
}
