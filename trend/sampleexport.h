#pragma once

#include <QByteArray>

class SampleStore;

// The samples held, in time order, in the recording's columns: direction
// "received", text NAME=value, elapsed_s counted from the store's origin.
QByteArray samplesAsCsv(const SampleStore &store);
