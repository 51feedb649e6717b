#pragma once

#include <chrono>

// Waits at least `length` on a monotonic clock while the event loop runs:
// pending events run at least once, and handlers run nested inside the wait.
// Blocks in the event loop rather than spinning, so it costs no processor time.
void pacingDelay(std::chrono::milliseconds length);
