#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>

// A message bus daemon of the test's own, so that no test ever reaches the
// desktop's session bus. Once started, DBUS_SESSION_BUS_ADDRESS names it, for
// child processes such as gdbus too.
// Runs `gdbus call` on the panel owning busName (its object, a method and
// its arguments) and returns what it printed. The event loop runs meanwhile,
// so a panel in this very process can answer.
QString gdbusCall(const QString &busName, const QStringList &methodAndArguments);

class PrivateBus
{
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // False when no daemon could be started; errorString() says why.
    bool start();
    QString errorString() const { return m_error; }
    QString address() const { return m_address; }
    // A connection of its own (one per program the test plays).
    QDBusConnection connect(const QString &connectionName);

private:
    QProcess m_daemon;
    QString m_address;
    QString m_error;
    QStringList m_connections;
};
