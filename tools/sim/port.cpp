#include "sim/port.h"

#include <cstdio>
#include <fcntl.h>
#include <limits.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// Raw mode on a real serial line: 9600 8N1, no flow control.
bool setupDevice(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    t.c_cflag = (t.c_cflag & ~(CSTOPB | PARENB | CRTSCTS | CSIZE)) | CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace

int openPort(const std::string &device, std::string &path)
{
    int fd = -1;
    if (device.empty()) {
        int slave = -1;
        char name[PATH_MAX];
        if (openpty(&fd, &slave, name, nullptr, nullptr) != 0) {
            std::perror("openpty");
            return -1;
        }
        termios t{};
        for (int f : {fd, slave}) {
            if (tcgetattr(f, &t) == 0) {
                cfmakeraw(&t);
                tcsetattr(f, TCSANOW, &t);
            }
        }
        // Not kept open: the panel must see the same closed/reopened port a
        // real device gives it, and replies must not pile up between sessions.
        close(slave);
        path = name;
    } else {
        fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0 || !setupDevice(fd)) {
            std::perror(device.c_str());
            return -1;
        }
        path = device;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

} // namespace sim
