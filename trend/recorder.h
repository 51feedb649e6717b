#pragma once

#include "trend/csvrowformat.h"

#include <QObject>
#include <QTimer>

// Appends one CSV row per command written and line received to a file while
// recording. Each row goes to the system as it is written, so a crash loses
// at most the row being written. Only a regular file is recorded to: a
// device, FIFO, socket or folder (or a link to one) is refused as Export
// refuses it, and nothing is opened in a way that could wait. A file that
// cannot be created, a write that fails, or a file deleted or replaced while
// recording (checked once a second) stops the recording and says why; the
// rows before stay.
class Recorder : public QObject
{
    Q_OBJECT
public:
    explicit Recorder(QObject *parent = nullptr);
    ~Recorder() override;

    bool isRecording() const { return m_fd >= 0; }
    QString fileName() const { return m_path; }

    // Creates (or empties) the file and writes the header. False when that
    // failed or the target is no file; failed() has said why.
    bool start(const QString &path);
    void stop();

    // A row for a command written or a line received, while recording.
    void recordSent(const WireLine &command);
    void recordReceived(const WireLine &line);

signals:
    void started(const QString &path);
    void stopped();
    // The system's reason, e.g. "No space left on device"; stopped() follows.
    void failed(const QString &path, const QString &reason);

private:
    void record(const WireLine &line, CsvRowFormat::Direction direction);
    bool write(const QByteArray &bytes);
    void checkFileStillThere();
    void fail(const QString &reason);
    void closeFile();

    QString m_path;
    int m_fd = -1;
    QTimer m_fileCheck;
    qint64 m_written = 0;    // bytes of whole rows in the file
    qint64 m_startMSecs = 0; // elapsed_s counts from here
    CsvRowFormat m_format;
};
