#pragma once

// The device simulator in a process of its own, its pseudo-terminal linked as
// com1 in a folder. It ends with this object, or with the test process.
#include <QCoreApplication>
#include <QProcess>
#include <QTest>

class DeviceSimulator
{
public:
    // Starts it and waits until it has printed its port, i.e. the port is up.
    explicit DeviceSimulator(const QString &linkDir, const QStringList &options = {})
    {
        m_process.start(buildDir() + QStringLiteral("/pwm-device-sim"),
                        QStringList{QStringLiteral("--link"), linkDir, QStringLiteral("--exit-with"),
                                    QString::number(QCoreApplication::applicationPid())} +
                            options);
        m_up = QTest::qWaitFor(
            [this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; }, 10000);
        m_up = m_up && m_process.canReadLine();
    }
    ~DeviceSimulator()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    DeviceSimulator(const DeviceSimulator &) = delete;
    DeviceSimulator &operator=(const DeviceSimulator &) = delete;

    bool isUp() const { return m_up; }
    QString whyNot()
    {
        return m_process.errorString() + QString::fromLocal8Bit(m_process.readAllStandardError());
    }

    static QString buildDir()
    {
        return qEnvironmentVariable("PWM_BUILD_DIR",
                                    QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    }

private:
    QProcess m_process;
    bool m_up = false;
};
