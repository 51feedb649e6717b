// What a screen reader user hears of the main window wherever the focus is:
// each change of state once, a chatty device at most once a second, the
// latest first, a search failing the same way once, and what the user did.
#include "accessibilityharness.h"
#include "windowharness.h"

using Window = WindowHarness<FakeSerialPort>;

class TestHeard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { listenAsAScreenReader(); }
    void init() { heard.clear(); }

    // A change of state is said at once, with the line's name following it.
    void eachChangeIsSaidOnce()
    {
        Window h(iniFile(5), u"pwm-panel"_s, kStepsByHand);
        const WindowWidgets &w = h.w();
        heard.clear();
        h.tick(SessionTimer::Search); // after "wait...", in the same colour: its turn comes
        QTRY_COMPARE(announced(h.window), QStringList{u"Searching for uc code..."_s});
        heard.clear();
        h.port.simulateArrival("DUTY01\r");
        QCOMPARE(announced(h.window), QStringList{u"Found: DUTY01"_s});
        QCOMPARE(access(w.statusLabel)->text(QAccessible::Name), u"Status: Found: DUTY01"_s);
        QCOMPARE(access(w.deviceLabel)->text(QAccessible::Name),
                 u"Device: Kestravon: uc=DUTY01  pc=pwm-panel"_s);
        QCOMPARE(heardOn(w.deviceLabel, QAccessible::NameChanged).size(), 1);
        // ... and the text itself through the text interface
        QAccessibleTextInterface *text = access(w.statusLabel)->textInterface();
        QVERIFY(text);
        QCOMPARE(text->text(0, text->characterCount()), u"Found: DUTY01"_s);

        heard.clear();
        for (int i = 0; i < 3; ++i)
            QVERIFY(h.tick(SessionTimer::SampleTick));
        QVERIFY2(h.status().startsWith(u"STime:5 STimer:"_s), qPrintable(h.status()));
        QCOMPARE(announced(h.window), QStringList());                          // the sample count, never
        QVERIFY(heardOn(w.statusLabel, QAccessible::NameChanged).size() <= 1); // its name follows, unfocused

        h.port.simulateArrival("SV01=40\r");
        const QStringList first = announced(h.window);
        QCOMPARE(first.size(), 2); // the first reply (a new colour) and the duty
        QVERIFY2(first[0].endsWith(u"SV01=40"_s), qPrintable(first[0]));
        QCOMPARE(first[1], u"Duty cycle 40 %"_s);
        QCOMPARE(access(w.dutyDisplay)->text(QAccessible::Name), u"Duty cycle reported by the device: 40"_s);
        heard.clear();
        h.tick(SessionTimer::SampleTick);
        h.port.simulateArrival("SV01=41\r"); // the same line but for its number
        h.port.simulateArrival("SV01=41\r"); // the same duty
        QTRY_COMPARE(announced(h.window), QStringList{u"Duty cycle 41 %"_s});
    }

    // What the user did that shows nowhere else is said once.
    void whatTheUserDidIsSaid()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        const WindowWidgets &w = h.w();
        w.setButton->click();
        heard.clear();
        w.saveButton->click();
        QVERIFY(w.settingsPanel->isHidden());
        QCOMPARE(announced(h.window).count(u"Settings saved"_s), 1);
    }

    void recordingIsSaid()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        heard.clear();
        h.window->showRecording(true);
        h.window->showRecording(false);
        QCOMPARE(announced(h.window), (QStringList{u"Recording started"_s, u"Recording stopped"_s}));
    }

    // "Invalid Port Number!" and "Searching..." took turns every tick, for ever.
    void aSearchFailingTheSameWayIsSaidOnce()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        h.port.failures[u"Open"_s] = PortError::InvalidPort;
        heard.clear();
        for (int i = 0; i < 6; ++i)
            h.tick(SessionTimer::Search);
        QCOMPARE(announced(h.window), QStringList{u"Invalid Port Number!"_s});
        // A different outcome is new again.
        h.port.failures.clear();
        heard.clear();
        h.identify();
        QCOMPARE(announced(h.window), QStringList{u"Found: DUTY01"_s});
    }

    // 9,954 text changes in 10 s held Orca at full load: now the first at
    // once, then at most one a second, the latest.
    void aFloodIsSaidAtMostOnceASecond()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        const WindowWidgets &w = h.w();
        h.identify();
        heard.clear();
        const QStringList words{u"ALPHA"_s, u"BRAVO"_s, u"CHARLIE"_s};
        for (int i = 0; i < 1000; ++i)
            h.port.simulateArrival((words[i % 3] + u' ' + QString::number(i) + u'\r').toLatin1());
        QCOMPARE(announced(h.window).size(), 1);
        QVERIFY(heardOn(w.statusLabel, QAccessible::NameChanged).size() <= 1);
        QTRY_COMPARE(announced(h.window).size(), 2);
        QVERIFY2(announced(h.window)[1].endsWith(u"ALPHA 999"_s), qPrintable(announced(h.window)[1]));
        QVERIFY(heardOn(w.statusLabel, QAccessible::TextUpdated).isEmpty());
    }

    // With the focus on the line the change of its name is heard, not an announcement too.
    void aFocusedLineIsHeardOnceThroughItsName()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window));
        QTest::keyClick(h.window, Qt::Key_F6);
        QTRY_VERIFY(h.w().statusLabel->hasFocus());
        heard.clear();
        h.identify();
        QCOMPARE(announced(h.window), QStringList());
        const QList<Heard> names = heardOn(h.w().statusLabel, QAccessible::NameChanged);
        QCOMPARE(names.size(), 1);
        QCOMPARE(names[0].text, u"Status: Found: DUTY01"_s);
    }
};

QTEST_MAIN(TestHeard)
#include "tst_heard.moc"
