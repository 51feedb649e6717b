// The name a copy takes on the session bus, and a copy that cannot take it.
#include "dbus/busname.h"
#include "dbus/panelbusobject.h"
#include "privatebus.h"
#include "sessionharness.h"
#include "trend/recorder.h"

class TestBusName : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(u"pwm.link.info=true"_s); }

    void aProgramNameBecomesABusName_data()
    {
        QTest::addColumn<QString>("programName");
        QTest::addColumn<QString>("busName");
        QTest::addRow("a plain name is kept") << u"PUMP1"_s << u"dev.kestravon.PwmPanel.PUMP1"_s;
        QTest::addRow("a dot becomes an underscore") << u"PUMP.1"_s << u"dev.kestravon.PwmPanel.PUMP_1"_s;
        QTest::addRow("dashes and spaces become underscores")
            << u"pwm-panel 2"_s << u"dev.kestravon.PwmPanel.pwm_panel_2"_s;
        QTest::addRow("a leading digit gets an underscore before it")
            << u"2PUMP"_s << u"dev.kestravon.PwmPanel._2PUMP"_s;
        QTest::addRow("a letter outside ASCII becomes one underscore")
            << u"Lüfter"_s << u"dev.kestravon.PwmPanel.L_fter"_s;
        QTest::addRow("a character outside the BMP becomes one underscore, not two")
            << u"fan\U0001F300"_s << u"dev.kestravon.PwmPanel.fan_"_s;
    }
    void aProgramNameBecomesABusName()
    {
        QFETCH(QString, programName);
        QFETCH(QString, busName);
        QCOMPARE(busNameFor(programName), busName);
    }

    void aSecondCopyOfTheNameGoesOnWithoutTheInterface()
    {
        PrivateBus bus;
        if (!bus.start())
            QSKIP(qPrintable(bus.errorString()));
        SessionHarness first({}, u"PUMP.1"_s), second({}, u"PUMP.1"_s), other({}, u"PUMP.2"_s);
        Recorder recorder;
        auto firstPanel = std::make_unique<PanelBusObject>(*first.session, recorder);
        PanelBusObject secondPanel(*second.session, recorder), otherPanel(*other.session, recorder);
        QVERIFY(firstPanel->registerOn(bus.connect(u"first"_s)));

        QTest::ignoreMessage(
            QtInfoMsg,
            QRegularExpression(u"no D-Bus interface: could not take dev\\.kestravon\\.PwmPanel\\.PUMP_1 "
                               "\\(another copy\\?\\): "_s));
        QVERIFY(!secondPanel.registerOn(bus.connect(u"second"_s)));
        QVERIFY(otherPanel.registerOn(bus.connect(u"other"_s)));

        // The name is free again once the first copy is gone.
        firstPanel.reset();
        QVERIFY(secondPanel.registerOn(bus.connect(u"second again"_s)));
    }

    void withoutASessionBusTheProgramGoesOnAndSaysWhy()
    {
        // Unset, so not even libdbus's own search could reach a desktop's bus.
        const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        const auto restore = qScopeGuard([&] {
            if (!saved.isNull())
                qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
        });
        SessionHarness h;
        Recorder recorder;
        PanelBusObject panel(*h.session, recorder);
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u"no D-Bus interface: no session bus"_s));
        QVERIFY(!panel.registerOnSessionBus());
    }
};

QTEST_MAIN(TestBusName)
#include "tst_busname.moc"
