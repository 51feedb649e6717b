#include "windows/trend/recordingview.h"

#include "link/escapedtext.h"
#include "windows/common/dialogs.h"
#include "windows/trend/trendwindow.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

RecordingView *RecordingView::open(const QString &path, Dialogs &dialogs, QWidget *parent)
{
    return new RecordingView(path, dialogs, parent);
}

RecordingView::RecordingView(const QString &path, Dialogs &dialogs, QWidget *parent)
    : QObject(parent), m_loader(m_store), m_dialogs(dialogs), m_path(path)
{
    const QFileInfo file(path);
    m_window = new TrendWindow(m_store, dialogs, file.fileName(), file.absolutePath(), parent);
    if (parent)
        m_window->setWindowFlag(Qt::Window);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->showRecording([this](qint64 at) { return wireTextAt(at); });
    connect(m_window, &TrendWindow::loadingCancelled, this, [this] {
        m_loader.cancel();
        m_title += tr(" (partly loaded)");
        m_window->setWindowTitle(m_title);
    });
    m_title = m_window->windowTitle();
    connect(m_window, &QObject::destroyed, this, &QObject::deleteLater);
    connect(&m_loader, &RecordingLoader::progressed, this, &RecordingView::showProgress);
    connect(&m_loader, &RecordingLoader::loaded, this, [this] {
        m_window->showLoaded();
        m_window->setWindowTitle(m_title);
        sayWhatWasSkipped();
        emit loaded();
    });
    connect(&m_loader, &RecordingLoader::failed, this, [this](const QString &why) {
        emit refused(why);
        m_dialogs.warn(tr("Recording not opened"), why);
        if (m_window)
            m_window->close();
    });
    m_window->show();
    // Started from the event loop: a refusal then finds its listeners connected.
    QTimer::singleShot(0, this, [this] { m_loader.start(m_path); });
}

RecordingView::~RecordingView()
{
    m_loader.cancel();
    delete m_window; // before the store it shows
}

TrendWindow *RecordingView::window() const
{
    return m_window;
}

void RecordingView::showProgress(qint64 read, qint64 size)
{
    if (!m_window)
        return;
    m_window->showLoading(read, size);
    if (size > 0 && read < size)
        m_window->setWindowTitle(tr("%1 (loading, %2 %)").arg(m_title).arg(read * 100 / size));
}

QString RecordingView::wireTextAt(qint64 msecs) const
{
    const RecordingLoader::LastLines last = m_loader.lastLinesAt(msecs);
    const auto said = [](const RecordedRow &row) {
        return std::make_pair(escapedText(row.bytes),
                              QDateTime::fromMSecsSinceEpoch(row.msecsSinceEpoch).toString(u"HH:mm:ss.zzz"));
    };
    QStringList lines;
    if (last.sent) {
        const auto [text, time] = said(*last.sent);
        lines << tr("sent \"%1\" at %2").arg(text, time);
    }
    if (last.received) {
        const auto [text, time] = said(*last.received);
        lines << tr("received \"%1\" at %2").arg(text, time);
    }
    return lines.join(QStringLiteral(", "));
}

void RecordingView::sayWhatWasSkipped()
{
    const RecordingReader &reader = m_loader.reader();
    if (reader.rowsSkipped() == 0)
        return;
    m_dialogs.warn(tr("Some rows not read"),
                   tr("%1 rows of %2 could not be read and were left out; the rest is shown.\n%3")
                       .arg(reader.rowsSkipped())
                       .arg(m_path, reader.problems().mid(0, 5).join(u'\n')));
}
