// The trend window showing a recording: the latest sample is its present, the
// cursor also reads the wire, and a large file's loading shows with Cancel.
#include "trend/samplestore.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>

void TrendWindow::showRecording(std::function<QString(qint64)> wireTextAt)
{
    m_chart->setPresent([&store = m_store] {
        qint64 latest = store.originMSecs();
        bool any = false;
        for (const SampleStore::Series &s : store.series())
            if (!s.samples.empty()) {
                latest = any ? std::max(latest, s.samples.back().msecs) : s.samples.back().msecs;
                any = true;
            }
        return latest;
    });
    m_chart->setWireText(std::move(wireTextAt));
    m_span->setCurrentIndex(m_span->count() - 1); // everything held

    m_loadProgress = new QProgressBar(this);
    m_loadProgress->setAccessibleName(tr("Loading progress"));
    m_loadProgress->setRange(0, 1000);
    m_cancelLoad = new QPushButton(tr("Cancel loading"), this);
    m_cancelLoad->setAccessibleName(tr("Cancel loading"));
    m_cancelLoad->setAccessibleDescription(tr("Stops reading the file; what is loaded stays shown"));
    connect(m_cancelLoad, &QPushButton::clicked, this, [this] {
        showLoaded();
        emit loadingCancelled();
    });
    setTabOrder(m_cancelLoad, m_span); // first in Tab's round, as it stands first
    auto *row = new QHBoxLayout;
    row->addWidget(m_loadProgress, 1);
    row->addWidget(m_cancelLoad);
    if (auto *column = qobject_cast<QBoxLayout *>(layout()))
        column->insertLayout(0, row);
    showLoaded(); // until the first piece is read
}

void TrendWindow::showLoading(qint64 read, qint64 size)
{
    if (!m_loadProgress || size <= 0 || read >= size)
        return showLoaded();
    m_loadProgress->setValue(int(read * 1000 / size));
    m_loadProgress->setVisible(true);
    m_cancelLoad->setVisible(true);
}

void TrendWindow::showLoaded()
{
    if (!m_loadProgress)
        return;
    // The focus on Cancel goes on to the chart rather than nowhere.
    if (m_cancelLoad->hasFocus())
        m_chart->setFocus();
    m_loadProgress->setVisible(false);
    m_cancelLoad->setVisible(false);
}
