#include "testsupport/pty.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::open()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_error = QStringLiteral("openpty: ") + QString::fromLocal8Bit(std::strerror(errno));
        m_master = m_slave = -1;
        return false;
    }
    termios raw{};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_slave, TCSANOW, &raw);
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

void PtyPair::writeMaster(const QByteArray &bytes)
{
    for (qsizetype done = 0; m_master >= 0 && done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno != EINTR && errno != EAGAIN)
            return;
    }
}

QByteArray PtyPair::readMaster(int timeoutMs, qsizetype atLeast)
{
    QByteArray got;
    const QDeadlineTimer deadline(timeoutMs);
    do {
        QCoreApplication::processEvents();
        pollfd pfd{m_master, POLLIN, 0};
        char buffer[4096];
        const ssize_t n = ::poll(&pfd, 1, 5) > 0 ? ::read(m_master, buffer, sizeof buffer) : 0;
        got.append(buffer, std::max<ssize_t>(n, 0));
    } while (m_master >= 0 && got.size() < atLeast && !deadline.hasExpired());
    return got;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
