// The device side of the benchmarks: writing to a pty master, and the
// controller that answers on it from a thread of its own.
#include "harness.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace bench {

// ---------------------------------------------------------------- device side

bool writeAll(int fd, const char *data, size_t size, const std::atomic<bool> &stop)
{
    size_t done = 0;
    while (done < size && !stop) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        } else {
            return false;
        }
    }
    return done == size;
}

Device::Device(int masterFd) : m_fd(masterFd)
{
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_wake = ::eventfd(0, EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

Device::~Device()
{
    m_stop = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
    m_thread.join();
    ::close(m_wake);
}

std::string Device::answer(const std::string &cmd)
{
    if (!answerSettings && cmd.starts_with("SV0") && cmd[4] == '=')
        return {};
    if (cmd == "I?")
        return "DUTY01";
    if (cmd == "SV01?")
        return "SV01=50";
    if (cmd == "SV02?")
        return "SV02=" + m_preset;
    if (cmd.starts_with("SV02=")) {
        m_preset = cmd.substr(5);
        return cmd;
    }
    return {};
}

void Device::run()
{
    std::string pending;
    char buffer[4096];
    // Blocks without a time-out: an idle device side wakes nobody.
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
    while (!m_stop) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        pending.append(buffer, size_t(n));
        size_t cr;
        while ((cr = pending.find('\r')) != std::string::npos) {
            const std::string cmd = pending.substr(0, cr);
            pending.erase(0, cr + 1);
            ++commandsSeen;
            const std::string reply = answer(cmd);
            if (!reply.empty()) {
                const std::string line = reply + '\r';
                writeAll(m_fd, line.data(), line.size(), m_stop);
            }
        }
    }
}

} // namespace bench
