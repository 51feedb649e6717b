#pragma once

#include <string>

namespace sim {

// Opens the port the other side talks to: a new pseudo-terminal when device
// is empty, else that serial device. The descriptor is raw and non-blocking;
// path gets the name the other side opens. -1 after a message on stderr.
int openPort(const std::string &device, std::string &path);

} // namespace sim
