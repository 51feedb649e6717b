#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A line's bytes as text that reads back exactly: printable ASCII as it is,
// every other byte and the backslash as \xHH (upper-case hex). A NUL or a
// UTF-8 sequence is bytes like any other, so nothing is cut or guessed. The
// recording's text column and the bus signals both say a line this way.
void appendEscapedText(QByteArray &out, QByteArrayView bytes);
QString escapedText(QByteArrayView bytes);
