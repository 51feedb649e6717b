#include "session/portprobe.h"

#include "link/escapedtext.h"

#include <QTimer>

namespace {

const QByteArray kQuery = QByteArrayLiteral("I?");

} // namespace

PortProbe::PortProbe(PortMaker makePort, QObject *parent)
    : QObject(parent), m_makePort(std::move(makePort)), m_settle(new QTimer(this)),
      m_repeat(new QTimer(this)), m_timeout(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_timeout->setSingleShot(true);
    connect(m_settle, &QTimer::timeout, this, [this] {
        // Whatever came so far was there before the question: it is no answer.
        for (auto &asked : m_asked)
            if (asked->port) {
                asked->port->readAll();
                asked->received.clear();
            }
        m_asking = true;
        m_repeat->start();
        m_timeout->start();
        ask();
    });
    connect(m_repeat, &QTimer::timeout, this, &PortProbe::ask);
    connect(m_timeout, &QTimer::timeout, this, [this] {
        closeAll();
        finishIfDone();
    });
}

PortProbe::~PortProbe()
{
    // As cancel(), but the ports go now: no event loop may follow.
    closeAll();
    m_asked.clear();
}

void PortProbe::start(const QStringList &devices, qint32 baudRate, const QString &expectedCode, Timing timing)
{
    cancel();
    m_running = true;
    m_expected = expectedCode.toLatin1();
    for (const QString &device : devices) {
        auto asked = std::make_unique<Asked>();
        asked->device = device;
        asked->port = m_makePort();
        Asked *a = asked.get();
        connect(a->port.get(), &SerialPort::readyRead, this, [this, a] { readFrom(*a); });
        // One that will not open is as silent as one that never answers.
        if (!a->port->open({0, baudRate, device}))
            a->port.reset();
        m_asked.push_back(std::move(asked));
    }
    m_repeat->setInterval(timing.repeat);
    m_timeout->setInterval(timing.timeout);
    m_settle->start(timing.settle);
    // Nothing opened: done, but said from the event loop, after start() has returned.
    QMetaObject::invokeMethod(
        this,
        [this, round = m_round] {
            if (m_round == round)
                finishIfDone();
        },
        Qt::QueuedConnection);
}

void PortProbe::cancel()
{
    ++m_round;
    m_running = false;
    m_asking = false;
    m_settle->stop();
    m_repeat->stop();
    m_timeout->stop();
    closeAll();
    // A port may be in the middle of its own signal (cancel() from a slot of answered()).
    for (auto &asked : m_asked)
        if (asked->port) {
            asked->port->disconnect(this);
            asked->port.release()->deleteLater();
        }
    m_asked.clear();
}

void PortProbe::ask()
{
    for (auto &asked : m_asked)
        if (asked->port && asked->port->isOpen() && !asked->answered)
            asked->port->write(kQuery + '\r');
}

void PortProbe::readFrom(Asked &asked)
{
    if (!asked.port || asked.answered)
        return;
    if (!m_asking)
        return; // left over from before: dropped when the settling ends
    const quint64 round = m_round;
    for (QByteArray bytes = asked.port->readAll(); !bytes.isEmpty(); bytes = asked.port->readAll())
        for (const QByteArray &line : asked.received.feed(bytes)) {
            // An echo of the question, or an empty line, says nothing of who is there.
            if (line != m_expected && !line.isEmpty() && line != kQuery && !asked.answeredOther) {
                asked.answeredOther = true;
                emit answeredOther(asked.device, escapedText(line));
                if (round != m_round) // ended or started again by a slot
                    return;
            }
            if (line == m_expected) {
                asked.answered = true;
                asked.port->close();
                emit answered(asked.device);
                if (round == m_round) // not ended or started again by a slot
                    finishIfDone();
                return;
            }
        }
}

void PortProbe::closeAll()
{
    for (auto &asked : m_asked)
        if (asked->port)
            asked->port->close();
}

void PortProbe::finishIfDone()
{
    QStringList answering;
    for (auto &asked : m_asked) {
        if (asked->port && asked->port->isOpen())
            return;
        if (asked->answered)
            answering << asked->device;
    }
    if (!m_running)
        return;
    m_running = false;
    m_asking = false;
    m_settle->stop();
    m_repeat->stop();
    m_timeout->stop();
    emit finished(answering);
}
