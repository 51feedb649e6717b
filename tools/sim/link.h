#pragma once

#include <string>

namespace sim {

// Points dir/com<N> at target, replacing an older link in one step. False
// after a message on stderr.
bool makeLink(const std::string &dir, long com, const std::string &target);

// Removes the link makeLink made, if it still points at our port.
void removeLink();

} // namespace sim
