#pragma once

#include <QByteArray>
#include <QList>

// Turns received bytes into reply lines: CR ends a non-empty line, LF is
// dropped, empty lines are skipped, a fragment without CR is kept for the next
// feed. A line stops growing at kMaxLine bytes; the rest up to the CR is
// dropped, so the line handed on is exactly kMaxLine long (overlong for the
// interpreter) and memory stays bounded.
class LineAssembler
{
public:
    static constexpr qsizetype kMaxLine = 32768;

    // Appends the bytes and returns the lines they complete, in order.
    QList<QByteArray> feed(QByteArrayView bytes);
    void clear() { m_line.clear(); }

private:
    QByteArray m_line;
};
