// The window at start, its tab order, the help panel and the exit confirmation.
#include "testsupport.h"

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void startsWaitingWithTheSettingsShown_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("shown"); // the five boxes and the fourth label
        // clang-format off
        QTest::addRow("no file") << QByteArray() << QStringList{"1", "9600", "-", "0", "DUTY01", "nc"};
        QTest::addRow("a file") << "3,\"19200\",\"pw\",5,\"DEV7\"\r\n\"a\",\"b\",\"c\",\"<b>d\"\r\n"_ba
                                << QStringList{"3", "19200", "pw", "5", "DEV7", "<b>d"};
        // clang-format on
    }
    void startsWaitingWithTheSettingsShown()
    {
        QFETCH(QByteArray, ini);
        FormHarness h(ini, u"PANEL2"_s);
        QCOMPARE(h.form->windowTitle(), MainForm::brandText() + ": PANEL2");
        QCOMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightYellow));
        QCOMPARE(h.running(), u"Timer1"_s);
        QStringList shown;
        for (int i = 1; i <= 5; ++i)
            shown << h.c().txtSet1[i]->text();
        QTEST(shown << h.c().lblTempName[4]->text(), "shown");
        QCOMPARE(h.port.calls,
                 (QStringList{"CommPort " + shown[0], "Settings " + shown[1] + ",N,8,1"})); // no open
        QCOMPARE(QFile::exists(h.iniPath()), !ini.isNull()); // the defaults are not written out
        QVERIFY(!h.c().frmTemp1->isEnabled());
        QVERIFY(h.c().frmHelp->isHidden() && h.c().frmSet->isHidden() && h.c().frmNevidi->isHidden());
        for (QLabel *label : {h.c().lblStatus, h.c().lblDevCode, h.c().lblTemp[1], h.c().lblTempName[4]})
            QCOMPARE(label->textFormat(), Qt::PlainText); // texts from outside are never markup
    }

    void tabOrderFollowsTheList()
    {
        FormHarness h;
        const QStringList order = {"cmdSet",         "cmdExit",    "cmdHelp",    "cmdCloseHelp", "Text1",
                                   "txtSet1(1)",     "txtSet1(2)", "txtSet1(3)", "txtSet1(4)",   "txtSet1(5)",
                                   "txtTempName(1)", "cmd0P",      "cmd100P",    "txtSV01",      "cmdSV01",
                                   "cmdFpwm1",       "cmdFpwm2",   "cmdFpwm3",   "cmdFpwm4",     "cmdFpwm5",
                                   "cmdFpwm6",       "cmdFpwm7",   "cmd50P"};
        QWidget *w = h.form->findChild<QWidget *>(order[0]);
        for (int i = 1; i < order.size(); ++i) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            QCOMPARE(w->objectName(), order[i]);
        }
    }

    void theHelpPanelOpensAndClosesAndTouchesNothingElse()
    {
        FormHarness h;
        h.form->cmdHelp_Click();
        h.form->cmdHelp_Click();
        QVERIFY(!h.c().frmHelp->isHidden());
        h.form->cmdCloseHelp_Click();
        QVERIFY(h.c().frmHelp->isHidden() && h.c().frmSet->isHidden());
        QCOMPARE(h.running(), u"Timer1"_s);
        QCOMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.port.calls.size(), 2); // the settings load only
    }

    void exitAsksFirst_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addRow("Yes closes the open port and ends") << int(MsgBoxResult::Yes);
        QTest::addRow("No keeps the window and the port") << int(MsgBoxResult::No);
        QTest::addRow("Cancel keeps the window and the port") << int(MsgBoxResult::Cancel);
    }
    void exitAsksFirst()
    {
        QFETCH(int, answer);
        const bool yes = answer == MsgBoxResult::Yes;
        FormHarness h;
        h.form->Timer1_Timer();
        h.port.calls.clear();
        h.boxes.answers = {answer, MsgBoxResult::Yes};
        QCOMPARE(h.form->close(), yes);
        const QStringList exitDialog = {"Do you want to close/exit App ?", "35", "Exit Dialog", "", "0"};
        QCOMPARE(h.boxes.shown, QList<QStringList>{exitDialog});
        QCOMPARE(h.port.calls, yes ? QStringList{"Close"} : QStringList());
        QCOMPARE(h.running(), yes ? QString() : u"Timer1 TimerCom"_s);
        QVERIFY(!QFile::exists(h.iniPath())); // nothing is saved on exit
        if (yes) {                            // a handler still waiting in a pacing delay raises no dialog
            h.port.failures[u"Output"_s] = SerialErrors::PortClosed;
            h.form->cmd50P_Click();
            QCOMPARE(h.boxes.shown.size(), 1);
        }
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
