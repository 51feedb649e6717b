#include "link/serialhardware.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

bool serialHardwarePresent(int fd)
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return true;
    return info.type != PORT_UNKNOWN;
}
