#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// One row of a recording or an export of this program, read back: the moment
// the line crossed the wire, its direction, and its bytes exactly as they
// crossed (the CSV's escaping and its spreadsheet guard undone).
struct RecordedRow
{
    qint64 msecsSinceEpoch = 0;
    bool sent = false;
    QByteArray bytes;
    friend bool operator==(const RecordedRow &, const RecordedRow &) = default;
};

// Reads a recording in pieces as they come, so a file still being written is
// followed as it grows: a row is taken once its line end has arrived. A file
// whose first line is not this program's header is refused as a whole; a row
// that cannot be read is reported with its line number and skipped.
class RecordingReader
{
public:
    // AfterHeader: the bytes begin at a row, somewhere inside a recording.
    enum class Start { AtHeader, AfterHeader };
    explicit RecordingReader(Start start = Start::AtHeader) : m_lineNumber(start == Start::AfterHeader) {}

    // The rows the bytes complete, in order. Nothing once refused.
    QList<RecordedRow> feed(QByteArrayView bytes);

    bool isRefused() const { return !m_refusal.isEmpty(); }
    QString refusal() const { return m_refusal; }
    // "line 12: ..." for each row skipped, at most kMaxProblems of them.
    QStringList problems() const { return m_problems; }
    qsizetype rowsSkipped() const { return m_skipped; }
    // Bytes fed but not yet a whole line.
    qsizetype pendingBytes() const { return m_pending.size(); }

    static constexpr qsizetype kMaxProblems = 100;
    // A longer line is skipped as a bad row, without being kept whole.
    static constexpr qsizetype kLongestLine = 1 << 20;

private:
    void takeLine(QByteArrayView line, QList<RecordedRow> &rows);
    void skip(const QString &why);

    QByteArray m_pending;               // a line without its end yet
    std::array<QByteArray, 6> m_quoted; // the quoted fields of the row being read
    qsizetype m_lineNumber;
    QString m_refusal;
    QStringList m_problems;
    qsizetype m_skipped = 0;
    bool m_overlong = false; // within a line longer than kLongestLine
};

// The recording's text field back to the line's bytes: a leading ' (the
// guard against spreadsheet formulas) dropped, every \xHH turned back into its
// byte. Nothing when the field is not such a text (a stray backslash).
std::optional<QByteArray> unescapedText(QByteArrayView field);
