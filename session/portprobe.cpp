#include "session/portprobe.h"

#include <QTimer>

PortProbe::PortProbe(PortMaker makePort, QObject *parent)
    : QObject(parent), m_makePort(std::move(makePort)), m_repeat(new QTimer(this)),
      m_timeout(new QTimer(this))
{
    m_timeout->setSingleShot(true);
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
    m_repeat->start(timing.repeat);
    m_timeout->start(timing.timeout);
    ask();
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

bool PortProbe::isRunning() const
{
    return m_running;
}

void PortProbe::ask()
{
    for (auto &asked : m_asked)
        if (asked->port && asked->port->isOpen() && !asked->answered)
            asked->port->write(QByteArrayLiteral("I?\r"));
}

void PortProbe::readFrom(Asked &asked)
{
    if (!asked.port || asked.answered)
        return;
    for (QByteArray bytes = asked.port->readAll(); !bytes.isEmpty(); bytes = asked.port->readAll())
        for (const QByteArray &line : asked.received.feed(bytes))
            if (line == m_expected) {
                asked.answered = true;
                asked.port->close();
                const quint64 round = m_round;
                emit answered(asked.device);
                if (round == m_round) // not ended or started again by a slot
                    finishIfDone();
                return;
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
    m_repeat->stop();
    m_timeout->stop();
    emit finished(answering);
}
