#pragma once

#include <string>

namespace sim {

// Milliseconds on the monotonic clock.
long long nowMs();

// Starts the traffic log: "-" is stderr, anything else a file appended to.
// False, with errno set, when the file cannot be opened.
bool openLog(const std::string &path);

// One line "seconds.millis DIR TEXT", timed from start-up; nothing without a log.
void logLine(const char *dir, const std::string &text);

// Bytes as one printable line: \r, \n, \\ and \xNN for the rest outside ASCII.
std::string escaped(const std::string &s);

} // namespace sim
