// A script in another process drives the panel through the bus: the real
// window and serial port, the simulator at the other end, gdbus as the script.
#include "devicesimulator.h"
#include "link/systemserialport.h"
#include "privatebus.h"
#include "windowharness.h"

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>

using Panel = WindowHarness<SystemSerialPort>;

class TestDBusEndToEnd : public QObject
{
    Q_OBJECT

    static QString gdbus(const QStringList &arguments)
    {
        return gdbusCall(u"dev.kestravon.PwmPanel.PUMP_1"_s, arguments);
    }

private slots:
    void aScriptSetsTheDutyAndReadsItBack()
    {
        if (QStandardPaths::findExecutable(u"gdbus"_s).isEmpty())
            QSKIP("no gdbus on PATH (Debian package libglib2.0-bin; scripts/setup installs it)");
        PrivateBus bus;
        if (!bus.start())
            QSKIP(qPrintable(bus.errorString()));
        Panel p({}, u"PUMP.1"_s);
        QVERIFY(p.program->bus().registerOn(bus.connect(u"panel"_s)));

        const QString log = p.dir.filePath(u"device.log"_s);
        DeviceSimulator sim(p.dir.path(), {"--log", log, "--duty", "20"});
        QVERIFY2(sim.isUp(), qPrintable(sim.whyNot()));

        QVERIFY(gdbus({u"dev.kestravon.PwmPanel1.SetDuty"_s, u"50"_s})
                    .contains(u"dev.kestravon.PwmPanel1.Error.NotIdentified"_s));
        p.tick(SessionTimer::Search); // rather than waiting for it
        QTRY_COMPARE_WITH_TIMEOUT(p.status(), u"Found: DUTY01"_s, 10000);
        QTRY_COMPARE(p.w().dutyDisplay->text(), u"20"_s); // the read-back

        QCOMPARE(gdbus({u"dev.kestravon.PwmPanel1.SetDuty"_s, u"50"_s}), u"()"_s);
        QTRY_COMPARE(p.w().dutyDisplay->text(), u"50"_s); // the operator sees it too
        QCOMPARE(gdbus({u"org.freedesktop.DBus.Properties.Get"_s, u"dev.kestravon.PwmPanel1"_s, u"Duty"_s}),
                 u"(<'50'>,)"_s);
        QVERIFY(p.dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TestDBusEndToEnd)
#include "tst_dbusendtoend.moc"
