// Soak: minutes of polling and clicking against a device that answers late
// and now and then sends garbage. Nothing may raise a box, lose or reorder a
// reply, put two commands closer than the pause on the wire, or grow memory.
#include "benchmarks.h"
#include "harness.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace bench {
namespace {

// Answers every command after 0 to 30 ms, one reply in 20 followed by a
// line of random bytes; records when each command arrived and every line sent.
class LateDevice
{
public:
    explicit LateDevice(int fd) : m_fd(fd)
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_wake = ::eventfd(0, EFD_NONBLOCK);
        m_thread = std::thread([this] { run(); });
    }
    ~LateDevice()
    {
        m_stop = true;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
        m_thread.join();
        ::close(m_wake);
    }

    // Read once the device has stopped, or under the lock.
    std::mutex lock;
    std::vector<Clock::time_point> arrivals;
    QByteArrayList sent;

private:
    QByteArray answer(const QByteArray &cmd)
    {
        if (cmd == "I?")
            return "DUTY01";
        if (cmd == "SV01?" || cmd == "PV1?" || cmd == "PV01?")
            return cmd.left(cmd.size() - 1) + '=' + QByteArray::number(m_duty);
        if (cmd == "SV02?")
            return "SV02=" + QByteArray::number(m_preset);
        if (cmd.startsWith("SV01="))
            m_duty = cmd.mid(5).toInt();
        else if (cmd.startsWith("SV02="))
            m_preset = cmd.mid(5).toInt();
        return cmd;
    }
    static QByteArray garbage(QRandomGenerator &random)
    {
        QByteArray bytes(int(random.bounded(1, 40)), Qt::Uninitialized);
        for (char &c : bytes)
            do
                c = char(random.bounded(1, 256));
            while (c == '\r' || c == '\n');
        return bytes;
    }
    void run()
    {
        QRandomGenerator random(20261207);
        std::deque<std::pair<Clock::time_point, QByteArray>> due; // replies, in order
        QByteArray pending;
        char buffer[1024];
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
        while (!m_stop) {
            int timeout = -1;
            if (!due.empty())
                timeout = std::max(
                    0, int(std::chrono::ceil<std::chrono::milliseconds>(due.front().first - Clock::now())
                               .count()));
            if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
                break;
            if (fds[1].revents)
                break;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
                const Clock::time_point now = Clock::now();
                if (n > 0)
                    pending.append(buffer, n);
                for (qsizetype cr; (cr = pending.indexOf('\r')) >= 0; pending.remove(0, cr + 1)) {
                    const std::lock_guard guard(lock);
                    arrivals.push_back(now);
                    // Never earlier than the reply before it: replies keep their order.
                    Clock::time_point at = now + std::chrono::milliseconds(random.bounded(0, 31));
                    if (!due.empty())
                        at = std::max(at, due.back().first);
                    due.emplace_back(at, answer(pending.left(cr)));
                    if (random.bounded(20) == 0)
                        due.emplace_back(at, garbage(random));
                }
            }
            while (!due.empty() && due.front().first <= Clock::now()) {
                const QByteArray line = due.front().second + '\r';
                writeAll(m_fd, line.constData(), size_t(line.size()), m_stop);
                const std::lock_guard guard(lock);
                sent << due.front().second;
                due.pop_front();
            }
        }
    }

    int m_fd;
    int m_wake = -1;
    int m_duty = 0;
    int m_preset = 1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// One click on a random duty or preset button, or a typed duty.
void clickSomething(Rig &rig, QRandomGenerator &random)
{
    const WindowWidgets &w = rig.widgets;
    const quint32 pick = random.bounded(11);
    if (pick < 3) {
        QPushButton *const duty[] = {w.duty0Button, w.duty50Button, w.duty100Button};
        duty[pick]->click();
    } else if (pick < 10) {
        w.presetButtons[pick - 3]->click();
    } else {
        w.typedDutyBox->setText(QString::number(random.bounded(101)));
        w.sendButton->click();
    }
}

} // namespace

void benchSoak(std::chrono::seconds length)
{
    std::fprintf(stderr, "soak: %lld s\n", static_cast<long long>(length.count()));
    // Sample time 1: a poll every second tick, i.e. every two seconds.
    Rig rig("1,\"9600\",\"-\",1,\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n", false);
    LateDevice device(rig.pty.masterFd());
    QByteArrayList received;
    std::vector<Clock::time_point> written;
    QObject::connect(&rig.session(), &DeviceSession::lineReceived,
                     [&](const WireLine &line) { received << line.bytes; });
    QObject::connect(&rig.session(), &DeviceSession::commandWritten,
                     [&] { written.push_back(Clock::now()); });
    if (!runEventsUntil([&] { return rig.widgets.controlPanel->isEnabled(); }, 10s))
        fatal(QStringLiteral("soak: the device was not found; status: ") + rig.session().status().text);

    QRandomGenerator random(7);
    QTimer clicks;
    QObject::connect(&clicks, &QTimer::timeout, [&] { clickSomething(rig, random); });
    clicks.start(200);
    // Memory is compared from the end of the first tenth, once every path has run.
    runEventsFor(std::chrono::duration_cast<std::chrono::milliseconds>(length) / 10);
    const double rssBefore = statusKb(QStringLiteral("self"), "VmRSS");
    runEventsFor(std::chrono::duration_cast<std::chrono::milliseconds>(length) * 9 / 10);
    clicks.stop();
    runEventsFor(500ms); // the last replies
    const double grownMb = (statusKb(QStringLiteral("self"), "VmRSS") - rssBefore) / 1024;

    const std::lock_guard guard(device.lock);
    double writeGap = 1e9, wireGap = 1e9;
    for (size_t i = 1; i < written.size(); ++i)
        writeGap = std::min(writeGap, ms(written[i] - written[i - 1]));
    for (size_t i = 1; i < device.arrivals.size(); ++i)
        wireGap = std::min(wireGap, ms(device.arrivals[i] - device.arrivals[i - 1]));
    const bool inOrder = received == device.sent;
    if (!inOrder || rig.dialogs.shown || written.size() != device.arrivals.size())
        markBroken();
    note(QStringLiteral("soak: %1 commands written, %2 seen by the device, %3 lines sent, %4 received %5; "
                        "%6 boxes; resident %7 MB before, growth %8 MB")
             .arg(written.size())
             .arg(device.arrivals.size())
             .arg(device.sent.size())
             .arg(received.size())
             .arg(inOrder ? QStringLiteral("in order") : QStringLiteral("NOT as sent"))
             .arg(rig.dialogs.shown)
             .arg(rssBefore / 1024, 0, 'f', 1)
             .arg(grownMb, 0, 'f', 3));
    report(QStringLiteral("soak: message boxes"), rig.dialogs.shown, QStringLiteral("boxes"),
           QStringLiteral("0"), rig.dialogs.shown == 0);
    report(QStringLiteral("soak: replies lost or out of order"), inOrder ? 0 : 1, QStringLiteral("runs"),
           QStringLiteral("0"), inOrder);
    report(QStringLiteral("soak: closest two writes"), writeGap, QStringLiteral("ms"),
           QStringLiteral(">= 50"), writeGap >= 50);
    report(QStringLiteral("soak: closest two commands at the device"), wireGap, QStringLiteral("ms"),
           QString(), {});
    report(QStringLiteral("soak: resident memory growth"), grownMb, QStringLiteral("MB"),
           QStringLiteral("< 1"), grownMb < 1);
}

} // namespace bench
