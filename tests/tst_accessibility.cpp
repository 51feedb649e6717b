// The window as a screen reader meets it: names, roles, the lit preset as a
// checked state, the changes it hears, and the keys that reach the lines.
#include "accessibilityharness.h"
#include "chooserharness.h"
#include "trend/samplestore.h"
#include "windowharness.h"
#include "windows/main/windowaccess.h"
#include "windows/trend/trendwindow.h"

#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QToolButton>

using Window = WindowHarness<FakeSerialPort>;

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { listenAsAScreenReader(); }
    void init() { heard.clear(); }

    void controlsSayWhatTheyAre_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("description"); // empty: not checked
        const auto row = [](const char *object, const char *name, QAccessible::Role role,
                            const char *description = "") {
            QTest::newRow(object) << QString::fromLatin1(object) << QString::fromLatin1(name) << int(role)
                                  << QString::fromLatin1(description);
        };
        using A = QAccessible;
        row("portBox", "COM port number", A::EditableText);
        row("baudBox", "Baud rate", A::EditableText);
        row("passwordBox", "Device password", A::EditableText, "Not used by this program.");
        row("sampleTimeBox", "Sample time (s)", A::EditableText, "Shown only: it cannot be changed here.");
        row("deviceCodeBox", "Expected application code", A::EditableText);
        row("label1Box", "User label 1", A::EditableText); // its role adds "text"
        row("typedDutyBox", "Duty cycle to send, 0 to 100 %", A::EditableText);
        row("duty0Button", "Set duty cycle to 0 %", A::Button);
        row("duty50Button", "Set duty cycle to 50 %", A::Button);
        row("duty100Button", "Set duty cycle to 100 %", A::Button);
        row("sendButton", "Send the typed duty cycle", A::Button);
        row("controlPanel", "Duty cycle and frequency", A::Grouping);
        row("typedDutyFrame", "Typed duty cycle", A::Grouping);
        row("presetFrame", "PWM frequency presets", A::Grouping);
        row("settingsPanel", "Settings", A::Grouping);
        row("connectionFrame", "Connection", A::Grouping);
        row("labelsFrame", "Labels", A::Grouping);
        row("helpPanel", "Help", A::Grouping);
        row("presetButton1", "PWM frequency preset 1: 31372 Hz", A::CheckBox);
        row("presetButton3", "PWM frequency preset 3: 980 Hz", A::CheckBox);
        row("presetButton7", "PWM frequency preset 7: 30.6 Hz", A::CheckBox);
        // The lines read with what they show, on F6, in where-am-I and flat review.
        row("dutyDisplay", "Duty cycle reported by the device: -", A::StaticText);
        row("statusLabel", "Status: wait...", A::StatusBar, "Searching for the device");
        row("deviceLabel", "Device: ???", A::StaticText);
        row("helpText", "Help text", A::EditableText);
        row("helpButton", "Show help", A::Button);
        row("closeHelpButton", "Close help", A::Button);
        row("setButton", "Open settings", A::Button);
        row("saveButton", "Save settings and close", A::Button);
    }
    void controlsSayWhatTheyAre()
    {
        QFETCH(QString, object);
        QFETCH(QString, description);
        Window h;
        QAccessibleInterface *iface = access(h.window->findChild<QWidget *>(object));
        QVERIFY(iface);
        QTEST(iface->text(QAccessible::Name), "name");
        QTEST(int(iface->role()), "role");
        if (!description.isEmpty())
            QCOMPARE(iface->text(QAccessible::Description), description);
    }

    // On every switch to it: the program and its device, not the title's web address.
    void theWindowIsNamedByProgramAndDevice()
    {
        Window h({}, u"bench-fan"_s);
        QCOMPARE(access(h.window)->text(QAccessible::Name), u"bench-fan, device DUTY01"_s);
        h.window->showRecording(true);
        QCOMPARE(access(h.window)->text(QAccessible::Name), u"bench-fan, device DUTY01"_s);
    }

    // A control added later without a name, or two named alike, shows here.
    void everyReachableControlHasItsOwnName()
    {
        Window h;
        QStringList names;
        for (QWidget *widget : h.window->findChildren<QWidget *>())
            if (QAccessibleInterface *iface = access(widget); iface && iface->state().focusable)
                names << iface->text(QAccessible::Name);
        QCOMPARE(names.size(), 25); // 23 in the Tab order, the status and device lines
        QVERIFY(!names.contains(QString()));
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
    }

    void theStatusColourIsAlsoInWords_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("description");
        QTest::addRow("searching") << "tick"
                                   << "Searching for the device";
        QTest::addRow("no response") << "timeout"
                                     << "No response from the device";
        QTest::addRow("a port error") << "fail"
                                      << "Port error: injected 8002";
        QTest::addRow("a line") << "line"
                                << "A line that is not the device's code came in";
        QTest::addRow("found") << "found"
                               << "Device found";
    }
    void theStatusColourIsAlsoInWords()
    {
        QFETCH(QString, step);
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        h.stepStatus(step);
        QFETCH(QString, description);
        if (step == u"found") // and which device answered where
            description += u". "_s + h.session().portDevice();
        QCOMPARE(access(h.w().statusLabel)->text(QAccessible::Description), description);
    }

    // Checked on the lit preset alone, said as it moves, and drawn as before.
    void theLitPresetIsChecked()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        const WindowWidgets &w = h.w();
        h.identify();
        const auto checked = [&w] {
            QList<int> on;
            for (int i = 1; i <= 7; ++i) {
                const QAccessible::State state = access(w.presetButtons[i - 1])->state();
                if (!state.checkable)
                    return QList<int>{-i};
                if (state.checked)
                    on << i;
            }
            return on;
        };
        QCOMPARE(checked(), QList<int>());
        h.port.simulateArrival("SV02=3\r");
        QCOMPARE(checked(), QList<int>{3});
        QCOMPARE(highlighted(w), QList<int>{3});
        heard.clear();
        h.port.simulateArrival("SV02=5\r");
        QCOMPARE(checked(), QList<int>{5});
        QCOMPARE(highlighted(w), QList<int>{5});
        QList<Heard> changed;
        for (const Heard &event : heard)
            if (event.type == QAccessible::StateChanged)
                changed << event;
        QCOMPARE(changed.size(), 2);
        QCOMPARE((QSet<QObject *>{changed[0].object, changed[1].object}),
                 (QSet<QObject *>{w.presetButtons[2], w.presetButtons[4]}));

        // Pressed through the interface, the button sends its preset.
        h.tick(SessionTimer::ReadBack); // unlocks the control panel
        h.port.writes.clear();
        access(w.presetButtons[1])->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(h.port.writes.contains("SV02=2\r"));
    }

    void aMessageBoxIsNamedAndAlerts()
    {
        QWidget owner;
        owner.show();
        MessageBoxDialogs dialogs(&owner);
        dialogs.ask(DialogContents::saveRefused(u"The port number must be 1 to 255."_s));
        auto *box = owner.findChild<QMessageBox *>();
        QVERIFY(box && box->isVisible());
        QCOMPARE(access(box)->text(QAccessible::Name), u"Settings not saved"_s);
        QCOMPARE(access(box)->text(QAccessible::Description), u"The port number must be 1 to 255."_s);
        QCOMPARE(heardOn(box, QAccessible::Alert).size(), 1);
        box->close();
    }

    // Space in the legend and Span or View changed were silent; entering the
    // legend read no row until an arrow was pressed.
    void theTrendWindowTellsItsChanges()
    {
        QTemporaryDir dir;
        SampleStore store;
        store.add(WireLine::read("SV01=50", 1000));
        store.add(WireLine::read("PV1=48", 1000));
        ScriptedDialogs dialogs;
        TrendWindow trend(store, dialogs, u"pwm-panel"_s, dir.path());
        trend.show();
        QVERIFY(QTest::qWaitForWindowActive(&trend));
        auto *legend = trend.findChild<QListView *>();
        heard.clear();
        legend->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(heardWith(QAccessible::Focus, u"SV01"_s));

        heard.clear();
        legend->model()->setData(legend->model()->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(heardWith(QAccessible::StateChanged, u"PV1"_s));
        QCOMPARE(announced(&trend), QStringList{u"PV1 hidden"_s}); // what Orca speaks of it

        for (auto *combo : trend.findChildren<QComboBox *>()) {
            heard.clear();
            combo->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(combo->hasFocus());
            combo->setCurrentIndex(1);
            QCOMPARE(announced(&trend), QStringList{combo->currentText()});
            QVERIFY2(access(combo)->text(QAccessible::Description).startsWith(combo->currentText() + u". "_s),
                     qPrintable(access(combo)->text(QAccessible::Description)));
            QVERIFY(heardWith(QAccessible::DescriptionChanged, {}));
        }
    }

    // The chooser read an empty result line, told only to double-click, had a
    // clear button without a name, and a single row was never spoken.
    void theChooserReadsWhatItShows()
    {
        Chooser c;
        PortChooser &chooser = c.open();
        QVERIFY(!c.part<QLabel>(u"What the search found"_s)->isVisible());
        QVERIFY(access(c.list())
                    ->text(QAccessible::Description)
                    .contains(u"Return"_s)); // not only a double click
        c.path()->setText(u"/dev/ttyUSB9"_s);
        const QList<QToolButton *> inBox = c.path()->findChildren<QToolButton *>();
        QVERIFY(!inBox.isEmpty());
        for (QToolButton *button : inBox)
            if (button->isVisible())
                QCOMPARE(access(button)->text(QAccessible::Name), u"Clear the path"_s);
        c.path()->clear();
        heard.clear();
        c.list()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(heardWith(QAccessible::Focus, u"/dev/ttyACM0"_s));
        QCOMPARE(c.path()->text(), QString()); // read, not chosen
        chooser.close();
    }

    void theLinesOpenTheirMenusFromTheKeyboard_data()
    {
        QTest::addColumn<int>("f6Presses");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addRow("status line, Menu") << 1 << int(Qt::Key_Menu) << int(Qt::NoModifier);
        QTest::addRow("status line, Shift+F10") << 1 << int(Qt::Key_F10) << int(Qt::ShiftModifier);
        QTest::addRow("device line, Menu") << 2 << int(Qt::Key_Menu) << int(Qt::NoModifier);
        QTest::addRow("device line, Shift+F10") << 2 << int(Qt::Key_F10) << int(Qt::ShiftModifier);
    }
    void theLinesOpenTheirMenusFromTheKeyboard()
    {
        QFETCH(int, f6Presses);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        Window h;
        h.window->show();
        QVERIFY(QTest::qWaitForWindowActive(h.window));
        for (int i = 0; i < f6Presses; ++i)
            QTest::keyClick(h.window, Qt::Key_F6);
        QLabel *line = f6Presses == 1 ? h.w().statusLabel : h.w().deviceLabel;
        QTRY_COMPARE(QApplication::focusWidget(), line);

        bool returned = false;
        QTimer::singleShot(2000, line, [&] {
            if (!returned) // a nested loop: close the menu so the test ends, and fail below
                if (auto *menu = line->findChild<QMenu *>())
                    menu->close();
        });
        QTest::keyClick(line, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        returned = true;
        auto *menu = line->findChild<QMenu *>();
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(menu->actions().constLast()->text(), u"Copy status text"_s);
        // Its first item is selected, and a screen reader is told so.
        QCOMPARE(menu->activeAction(), menu->actions().constFirst());
        const QList<Heard> focus = heardOn(menu, QAccessible::Focus);
        QVERIFY(!focus.isEmpty());
        QCOMPARE(focus.constLast().child, 0);
        menu->close();

        QTest::keyClick(line, Qt::Key_Tab); // Tab leaves for the usual order
        QVERIFY(QApplication::focusWidget() != line);
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
