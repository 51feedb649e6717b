#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLayout;
class QLineEdit;
class QListView;
class QPushButton;
class QComboBox;
class QProgressBar;
class SampleExport;
class QSortFilterProxyModel;
class Dialogs;
class SampleStore;
class SeriesListModel;
class TrendChart;

// "Trend: <name>": the chart of the sample store with a legend (colour, name,
// latest value, shown or not; a list that scrolls, with a filter box once there
// are many names), the span, Pause, Clear, and the chart saved as PNG or the
// samples as CSV, the value axis fixed by a typed lowest and highest value,
// and under the chart what its cursor reads. A separate, resizable, non-modal window, never larger than its
// screen. Every control is named for a screen reader and Tab goes as the eye reads.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    // folder: where the save dialogs start (the settings file's).
    TrendWindow(SampleStore &store, Dialogs &dialogs, const QString &name, const QString &folder,
                QWidget *parent = nullptr);

    // The window shows a recording rather than the live session: its present
    // is the latest sample, it starts on everything held, and its cursor also
    // reads the lines that crossed the wire by then (wireTextAt, of a moment).
    void showRecording(std::function<QString(qint64)> wireTextAt);
    // While a recording loads: how far (of size bytes), with Cancel.
    void showLoading(qint64 read, qint64 size);
    void showLoaded();

signals:
    // Cancel while loading: what is loaded stays shown.
    void loadingCancelled();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildLegend();
    // Reading up close (trendwindowview.cpp): the typed value range, the
    // chart with its cursor readout, the legend's highlight and the values
    // as of a held view.
    QLayout *buildRangeFields();
    QLayout *buildChartColumn();
    void connectView(QPushButton *clear);
    void applyValueRange();
    void highlightSeries();
    void showFilterWhenNeeded();
    void chooseSpan(int choice);
    void saveImage();
    void exportCsv();
    // While an export runs: its progress and Cancel in place of the button.
    void showExporting(bool exporting);

    SampleStore &m_store;
    Dialogs &m_dialogs;
    QString m_name;
    QString m_folder;
    TrendChart *m_chart = nullptr;
    QComboBox *m_span = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_droppedNotice = nullptr;
    QLabel *m_refusedNotice = nullptr;
    SeriesListModel *m_series = nullptr;
    QSortFilterProxyModel *m_filtered = nullptr;
    QLineEdit *m_filter = nullptr;
    QListView *m_legend = nullptr;
    QLineEdit *m_lowest = nullptr;
    QLineEdit *m_highest = nullptr;
    QLayout *m_rangeFields = nullptr;
    QLabel *m_readout = nullptr;
    QString m_hovered; // the legend row under the pointer
    SampleExport *m_export = nullptr;
    QPushButton *m_exportButton = nullptr;
    QProgressBar *m_exportProgress = nullptr;
    QPushButton *m_cancelExport = nullptr;
    QProgressBar *m_loadProgress = nullptr;
    QPushButton *m_cancelLoad = nullptr;
};
