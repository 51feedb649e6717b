#include "privatebus.h"

#include <QSignalSpy>
#include <QStandardPaths>

QString gdbusCall(const QString &busName, const QStringList &methodAndArguments)
{
    QProcess process;
    process.start(QStringLiteral("gdbus"),
                  QStringList{QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
                              busName, QStringLiteral("--object-path"),
                              QStringLiteral("/dev/kestravon/PwmPanel"), QStringLiteral("--method")} +
                      methodAndArguments);
    QSignalSpy finished(&process, &QProcess::finished);
    if (!finished.wait(10000))
        return QStringLiteral("gdbus did not finish: ") + process.errorString();
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
}

PrivateBus::~PrivateBus()
{
    for (const QString &name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
}

bool PrivateBus::start()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
        m_error =
            QStringLiteral("no dbus-daemon on PATH (Debian package dbus-daemon; scripts/setup installs it)");
        return false;
    }
    // --nofork keeps it our child, so it ends with the test.
    m_daemon.start(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
    }
    m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon gave no address: ") + m_daemon.errorString() + u' ' +
                  QString::fromLocal8Bit(m_daemon.readAllStandardError());
        return false;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_address.toLocal8Bit());
    return true;
}

QDBusConnection PrivateBus::connect(const QString &connectionName)
{
    m_connections << connectionName;
    return QDBusConnection::connectToBus(m_address, connectionName);
}
