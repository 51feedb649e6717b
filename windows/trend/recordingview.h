#pragma once

#include "trend/recordingloader.h"
#include "trend/samplestore.h"

#include <QObject>
#include <QPointer>

class Dialogs;
class TrendWindow;

// A recording (or an export) of this program in a trend window of its own,
// "Trend: FILE.csv", with everything the live trend has. It loads between
// events (a progress bar and the title say how far; Cancel keeps what is
// loaded), follows the file while it grows, and ends
// with its window; closing the window while loading cancels the load. A file
// that is no recording is explained in a box and no window stays.
class RecordingView : public QObject
{
    Q_OBJECT
public:
    // Opens the window at once; the view deletes itself when it closes.
    static RecordingView *open(const QString &path, Dialogs &dialogs, QWidget *parent = nullptr);
    ~RecordingView() override;

    TrendWindow *window() const;

signals:
    // The whole file as it was is shown; growth follows.
    void loaded();
    // The file could not be loaded: why, in one sentence.
    void refused(const QString &why);

private:
    RecordingView(const QString &path, Dialogs &dialogs, QWidget *parent);
    void showProgress(qint64 read, qint64 size);
    void sayWhatWasSkipped();
    // The cursor's reading of the wire: the last line sent and received by then.
    QString wireTextAt(qint64 msecs) const;

    SampleStore m_store;
    RecordingLoader m_loader;
    Dialogs &m_dialogs;
    QString m_path;
    QString m_title;
    QPointer<TrendWindow> m_window;
};
