// The keyboard user sees where they are and stays where they can see: the
// focus drawn by the shared style (and nothing drawn without it), and a panel
// that covers the window keeps the keyboard until it closes.
#include "accessibilityharness.h"
#include "windowharness.h"
#include "windows/common/contrast.h"

#include <QApplication>

using Window = WindowHarness<FakeSerialPort>;

namespace {

// The window shown, the device identified and read back: the panel is usable.
void showReady(Window &h)
{
    h.window->show();
    QVERIFY(QTest::qWaitForWindowActive(h.window));
    h.identify();
    h.tick(SessionTimer::ReadBack);
    QVERIFY(h.w().controlPanel->isEnabled());
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { listenAsAScreenReader(); }

    void theFocusShows_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<int>("lit"); // a preset lit first: 0 none
        QTest::addRow("a duty button") << "duty50Button" << 0;
        QTest::addRow("a preset") << "presetButton2" << 0;
        QTest::addRow("the lit preset") << "presetButton3" << 3;
        QTest::addRow("Send, green") << "sendButton" << 0;
        QTest::addRow("Set, magenta") << "setButton" << 0;
        QTest::addRow("the status line") << "statusLabel" << 0;
        QTest::addRow("the device line, black") << "deviceLabel" << 0;
        QTest::addRow("SAVE-CLOSE, Fusion's own") << "saveButton" << 0;
    }
    // Two rings of 2 px, one of them 3:1 or more against the face and the other
    // against the first; gone again, not a pixel stays different.
    void theFocusShows()
    {
        QFETCH(QString, object);
        QFETCH(int, lit);
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        showReady(h);
        if (lit)
            h.port.simulateArrival("SV02=" + QByteArray::number(lit) + '\r');
        auto *control = h.window->findChild<QWidget *>(object);
        QVERIFY(control);
        if (!control->isVisible())
            h.w().setButton->click(); // in the settings panel
        const QImage before = control->grab().toImage();
        QTest::keyClick(h.window, Qt::Key_Tab); // the focus moved by a key from now on
        control->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(control->hasFocus());
        const QImage focused = control->grab().toImage();
        const int y = focused.height() / 2;
        const QColor outer = focused.pixelColor(0, y), inner = focused.pixelColor(2, y);
        const QColor face = before.pixelColor(control->width() / 2, focused.height() - 6);
        QCOMPARE(focused.pixelColor(1, y), outer);
        QCOMPARE(focused.pixelColor(3, y), inner);
        QCOMPARE(focused.pixelColor(control->width() - 2, y), outer);
        QCOMPARE(focused.pixelColor(control->width() / 2, 1), outer);
        QCOMPARE(focused.pixelColor(control->width() / 2, 3), inner);
        QVERIFY2(contrastRatio(inner, face) >= kGraphicsContrast, qPrintable(inner.name() + face.name()));
        QVERIFY(contrastRatio(inner, outer) >= kGraphicsContrast);
        QVERIFY(focused != before);

        (h.w().settingsPanel->isVisible() ? h.w().portBox : h.w().typedDutyBox)->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!control->hasFocus());
        QCOMPARE(control->grab().toImage(), before);
    }

    // Until a key moves it the focus is not drawn: the window looks as it always did.
    void aClickDrawsNoFocus()
    {
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        showReady(h);
        const QImage before = h.w().duty0Button->grab().toImage();
        QTest::mouseClick(h.w().duty0Button, Qt::LeftButton);
        QTRY_VERIFY(h.w().duty0Button->hasFocus());
        QCOMPARE(h.w().duty0Button->grab().toImage(), before);
    }

    void aCoveringPanelOwnsTheKeyboard_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("closer");
        QTest::addRow("settings") << "setButton"
                                  << "settingsPanel"
                                  << "portBox"
                                  << "saveButton";
        QTest::addRow("help") << "helpButton"
                              << "helpPanel"
                              << "helpText"
                              << "closeHelpButton";
    }
    // Tab went to 13 covered stops, and Space on a covered 100 % sent SV01=100.
    void aCoveringPanelOwnsTheKeyboard()
    {
        QFETCH(QString, opener);
        QFETCH(QString, panel);
        QFETCH(QString, first);
        QFETCH(QString, closer);
        Window h({}, u"pwm-panel"_s, kStepsByHand);
        showReady(h);
        const auto find = [&h](const QString &name) { return h.window->findChild<QWidget *>(name); };
        h.port.simulateArrival("SV02=3\r");
        const QImage before = h.window->grab().toImage();
        auto *open = static_cast<QPushButton *>(find(opener));
        open->setFocus(Qt::TabFocusReason);
        QTest::keyClick(open, Qt::Key_Space);
        QVERIFY(find(panel)->isVisible());
        QCOMPARE(QApplication::focusWidget(), find(first));

        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), i % 4 == 3 ? Qt::Key_F6 : Qt::Key_Tab);
            QVERIFY2(find(panel)->isAncestorOf(QApplication::focusWidget()),
                     qPrintable(QApplication::focusWidget()->objectName()));
        }
        // Nothing covered can be pressed, not even through a screen reader.
        h.port.writes.clear();
        access(h.w().duty100Button)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        access(h.w().presetButtons[0])
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QTest::mouseClick(h.w().duty0Button, Qt::LeftButton);
        QCOMPARE(h.port.writes, QByteArrayList());
        QVERIFY(access(h.w().duty100Button)->state().disabled);

        // The session's word on the control panel while covered is kept for after.
        h.port.simulateArrival("SV02=2\r");
        static_cast<QPushButton *>(find(closer))->click();
        QVERIFY(find(panel)->isHidden());
        QCOMPARE(QApplication::focusWidget(), open);
        if (panel == u"helpPanel") { // the settings' save starts a new search: another look
            QVERIFY(h.w().controlPanel->isEnabled());
            open->clearFocus();
            h.port.simulateArrival("SV02=3\r");
            QCOMPARE(h.window->grab().toImage(), before);
        }
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
