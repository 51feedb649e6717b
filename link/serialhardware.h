#pragma once

// False when the open device is a serial port node whose driver reports no
// UART behind it (TIOCGSERIAL type unknown). Devices that do not answer that
// question (pseudo-terminals, most USB adapters) count as present.
bool serialHardwarePresent(int fd);
