#pragma once

// One entry per benchmark; each adds its rows to the results table.
#include <QtGlobal>
#include <chrono>

namespace bench {

void benchLatency(int samples);
void benchFlood(int lines);
void benchPacing(int sends);
void benchIdle(std::chrono::milliseconds length);
void benchStartup(int samples);
void benchNoLineEnd(qint64 megabytes);
void benchSoak(std::chrono::seconds length);
void benchTrend(int lines, std::chrono::milliseconds idleLength);
void benchWindowless(int samples, std::chrono::milliseconds idle);
// A recording of `rows` rows opened in a trend window of its own.
void benchRecordingOpen(int rows);
// 64 series x 100,000 samples held: repaint, idle, export, a flood with clicks.
void benchTrendAtBound(std::chrono::milliseconds idleLength, int floodLines);

} // namespace bench
