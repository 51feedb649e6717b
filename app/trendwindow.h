#pragma once

#include <QWidget>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QComboBox;
class Dialogs;
class QGridLayout;
class SampleStore;
class TrendChart;

// "Trend: <name>": the chart of the sample store with a legend (colour, name,
// latest value, shown or not), the span, Pause, Clear, and the chart saved as
// PNG or the samples as CSV. A separate, resizable, non-modal window.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    // folder: where the save dialogs start (the settings file's).
    TrendWindow(SampleStore &store, Dialogs &dialogs, const QString &name, const QString &folder,
                QWidget *parent = nullptr);

    TrendChart *chart() const { return m_chart; }

private:
    struct LegendRow
    {
        QCheckBox *shown;
        QLabel *value;
    };

    QWidget *buildLegend();
    void addLegendRow(int index);
    void clearLegend();
    void updateLegendValues();
    void chooseSpan(int choice);
    void saveImage();
    void exportCsv();

    SampleStore &m_store;
    Dialogs &m_dialogs;
    QString m_name;
    QString m_folder;
    TrendChart *m_chart = nullptr;
    QComboBox *m_span = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_droppedNotice = nullptr;
    QGridLayout *m_legend = nullptr;
    std::vector<LegendRow> m_legendRows;
};
