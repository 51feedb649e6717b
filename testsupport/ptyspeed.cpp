// Apart from pty.cpp: the kernel's termbits header clashes with <termios.h>.
#include "testsupport/pty.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

qint32 PtyPair::lineSpeed() const
{
    termios2 settings{};
    if (::ioctl(m_slave, TCGETS2, &settings) != 0)
        return -1;
    return qint32(settings.c_ospeed);
}
