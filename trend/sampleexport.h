#pragma once

class QIODevice;
class SampleStore;

// The samples held, in time order, in the recording's columns: direction
// "received", text NAME=value, elapsed_s counted from the store's origin.
// False when a write failed (the device's errorString() says why).
bool exportSamples(const SampleStore &store, QIODevice &out);
