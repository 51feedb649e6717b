#pragma once

#include "trend/samplestore.h"

#include <QLocale>
#include <QString>
#include <vector>

// The chart in words, for whoever cannot see it (a screen reader reads it as
// the chart's description): each shown series with its latest, lowest and
// highest value between startMSecs and endMSecs, both included, written as the
// legend writes values.
QString describeChart(const std::vector<const SampleStore::Series *> &shown, qint64 startMSecs,
                      qint64 endMSecs, const QLocale &locale = QLocale());
