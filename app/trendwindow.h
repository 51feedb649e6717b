#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QComboBox;
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
    TrendWindow(SampleStore &store, const QString &name, const QString &folder, QWidget *parent = nullptr);

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
    void askFileName(const QString &title, const QString &filter, const QString &fileName,
                     const std::function<void(const QString &)> &chosen);
    void explain(const QString &title, const QString &text);

    SampleStore &m_store;
    QString m_name;
    QString m_folder;
    TrendChart *m_chart = nullptr;
    QComboBox *m_span = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_droppedNotice = nullptr;
    QGridLayout *m_legend = nullptr;
    std::vector<LegendRow> m_legendRows;
};
