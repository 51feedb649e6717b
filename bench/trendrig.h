#pragma once

#include "harness.h"

#include <QByteArray>
#include <utility>

class QWidget;
class TrendWindow;

namespace bench {

// The longest of `times` immediate repaints of the whole window, in ms.
double worstRepaintMs(QWidget &window, int times);
// Opens the trend window and runs the events until it shows.
TrendWindow &openTrend(Rig &rig);
// Writes the lines from a thread and runs the window until the session has
// handled them all, or until nothing more came for 3 s. Returns how many
// arrived and the seconds from the first write to the last line handled.
std::pair<quint64, double> pour(Rig &rig, const QByteArray &bytes, quint64 lines);
// NAME=0 to NAME=999 over and over, CR-ended.
QByteArray numberedLines(const char *name, int lines);

} // namespace bench
