// The window at start, the help panel and the exit confirmation.
#include "app/vbcolor.h"
#include "testsupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QtTest>

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void startStateWithoutSettingsFile()
    {
        FormHarness h;
        QCOMPARE(h.form->windowTitle(), MainForm::brandText() + QStringLiteral(": pwm-panel"));
        QCOMPARE(h.status(), QStringLiteral("wait..."));
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightYellow));
        QCOMPARE(h.form->Settings.ucApp, QStringLiteral("DUTY01"));
        QVERIFY(h.form->Timer1.isActive());
        QVERIFY(!h.form->TimerCom.isActive());
        QVERIFY(!h.form->Timer2.isActive());
        QVERIFY(!h.form->StTimer.isActive());
        QVERIFY(!h.port.portOpen());
        QVERIFY(h.port.written().isEmpty());
        QVERIFY(!QFile::exists(h.iniPath())); // the defaults are not written out
        QVERIFY(!h.c().frmTemp1->isEnabled());
        QVERIFY(h.c().frmHelp->isHidden());
        QVERIFY(h.c().frmSet->isHidden());
        QVERIFY(h.c().frmNevidi->isHidden());
        QCOMPARE(h.c().lblDevCode->text(), QStringLiteral("???"));
        QCOMPARE(h.c().lblTemp[1]->text(), QStringLiteral("-"));
        QCOMPARE(h.c().txtSV01->text(), QStringLiteral("10"));
        const QStringList boxes = {"1", "9600", "-", "0", "DUTY01"};
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(h.c().txtSet1[i]->text(), boxes[i - 1]);
        QVERIFY(!h.c().txtSet1[4]->isEnabled());
        const QStringList labels = {"PWM(%):", "Label2", "nc", "nc"};
        for (int i = 1; i <= 4; ++i) {
            QCOMPARE(h.c().lblTempName[i]->text(), labels[i - 1]);
            QCOMPARE(h.c().txtTempName[i]->text(), labels[i - 1]);
        }
        QCOMPARE(h.port.commPort(), 1);
        QCOMPARE(h.port.settings(), QStringLiteral("9600,N,8,1"));
    }

    void captionCarriesTheExecutableName()
    {
        FormHarness h(QByteArray(), QStringLiteral("PANEL2"));
        QVERIFY(h.form->windowTitle().endsWith(QStringLiteral(": PANEL2")));
        QVERIFY(h.form->windowTitle().startsWith(MainForm::brandText()));
    }

    void settingsFileFillsBoxesAndLabels()
    {
        FormHarness h("3,\"19200\",\"pw\",5,\"DEV7\"\r\n\"Fan\",\"b\",\"c\",\"d\"\r\n");
        QCOMPARE(h.form->Settings.ucApp, QStringLiteral("DEV7"));
        QCOMPARE(h.c().txtSet1[1]->text(), QStringLiteral("3"));
        QCOMPARE(h.c().txtSet1[4]->text(), QStringLiteral("5"));
        QCOMPARE(h.c().lblTempName[1]->text(), QStringLiteral("Fan"));
        QCOMPARE(h.c().lblTempName[4]->text(), QStringLiteral("d"));
        QCOMPARE(h.port.commPort(), 3);
        QCOMPARE(h.port.settings(), QStringLiteral("19200,N,8,1"));
    }

    void layoutFollowsTheTwipTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addRow("status line") << "lblStatus" << QRect(49, 7, 485, 24);
        QTest::addRow("Set button") << "cmdSet" << QRect(7, 7, 36, 24);
        QTest::addRow("control panel") << "frmTemp(1)" << QRect(7, 42, 526, 134);
        QTest::addRow("device line") << "lblDevCode" << QRect(49, 189, 484, 22);
        QTest::addRow("duty figure in its panel") << "lblTemp(1)" << QRect(7, 21, 134, 43);
        QTest::addRow("preset 7 in its frame") << "cmdFpwm7" << QRect(14, 77, 57, 22);
        QTest::addRow("help box") << "Text1" << QRect(7, 14, 492, 127);
        QTest::addRow("SAVE-CLOSE") << "cmdExit" << QRect(392, 140, 106, 29);
    }
    void layoutFollowsTheTwipTable()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        FormHarness h;
        QCOMPARE(h.form->size(), QSize(541, 216));
        auto *w = h.form->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->geometry(), geometry);
    }

    void textsFromOutsideAreNeverMarkup()
    {
        FormHarness h;
        for (QLabel *label : {h.c().lblStatus, h.c().lblDevCode, h.c().lblTemp[1], h.c().lblTempName[1],
                              h.c().lblTempName[2], h.c().lblTempName[4]})
            QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    void coloursShowOnTheGraphicalButtons()
    {
        FormHarness h;
        QCOMPARE(buttonBackColor(h.c().cmdSet), QColor(255, 0, 255));
        QCOMPARE(buttonBackColor(h.c().cmdSV01), QColor(0, 192, 0));
        QCOMPARE(buttonBackColor(h.c().cmdFpwm[3]), vbColor(VbColor::ButtonFace));
        QVERIFY(h.c().cmdSet->styleSheet().contains(QStringLiteral("#ff00ff")));
        QCOMPARE(h.c().lblTemp[1]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(h.c().lblDevCode->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    }

    void helpTextIsStoredWithItsLineBreaks()
    {
        const QString text = helpText();
        QCOMPARE(text.count(QStringLiteral("\r\n")), 8);
        QVERIFY(text.endsWith(QStringLiteral("and use the various COM ports.  \r\n")));
        QVERIFY(text.contains(QStringLiteral("(not used in this application). \r\n")));
        QVERIFY(text.contains(QStringLiteral("exe version  under a different name \r\n")));
        FormHarness h;
        QCOMPARE(h.c().Text1->toPlainText().split(QLatin1Char('\n')).size(), 9);
    }

    void helpPanelOpensAndClosesAndTouchesNothingElse()
    {
        FormHarness h;
        h.form->cmdHelp_Click();
        QVERIFY(!h.c().frmHelp->isHidden());
        h.form->cmdHelp_Click();
        QVERIFY(!h.c().frmHelp->isHidden());
        QVERIFY(h.form->Timer1.isActive());
        QVERIFY(h.c().frmSet->isHidden());
        h.form->cmdCloseHelp_Click();
        QVERIFY(h.c().frmHelp->isHidden());
        QCOMPARE(h.status(), QStringLiteral("wait..."));
    }

    void tabOrderFollowsTheList()
    {
        FormHarness h;
        const QStringList order = {"cmdSet",     "cmdExit",    "cmdHelp",        "cmdCloseHelp", "Text1",
                                   "txtSet1(1)", "txtSet1(2)", "txtSet1(3)",     "txtSet1(4)",   "txtSet1(5)",
                                   "txtTempName(1)", "cmd0P",  "cmd100P",        "txtSV01",      "cmdSV01",
                                   "cmdFpwm1",   "cmdFpwm2",   "cmdFpwm3",       "cmdFpwm4",     "cmdFpwm5",
                                   "cmdFpwm6",   "cmdFpwm7",   "cmd50P"};
        for (int i = 1; i < order.size(); ++i) {
            auto *from = h.form->findChild<QWidget *>(order[i - 1]);
            QVERIFY(from);
            QWidget *next = from->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next->objectName(), order[i]);
        }
    }

    void exitDialogAnswers_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<bool>("closes");
        QTest::addRow("Yes with the port open closes it and ends") << int(MsgBoxResult::Yes) << true << true;
        QTest::addRow("Yes with the port closed only ends") << int(MsgBoxResult::Yes) << false << true;
        QTest::addRow("No keeps the window and the port") << int(MsgBoxResult::No) << true << false;
        QTest::addRow("Cancel keeps the window and the port") << int(MsgBoxResult::Cancel) << true << false;
    }
    void exitDialogAnswers()
    {
        QFETCH(int, answer);
        QFETCH(bool, portOpen);
        QFETCH(bool, closes);
        FormHarness h;
        if (portOpen)
            h.form->Timer1_Timer();
        QCOMPARE(h.port.portOpen(), portOpen);
        h.port.clearCalls();
        h.boxes.answers = {answer};
        QCloseEvent event;
        QApplication::sendEvent(h.form.get(), &event);
        QCOMPARE(event.isAccepted(), closes);
        QCOMPARE(h.boxes.shown.size(), 1);
        QCOMPARE(h.boxes.shown[0].prompt, QStringLiteral("Do you want to close/exit App ?"));
        QCOMPARE(h.boxes.shown[0].title, QStringLiteral("Exit Dialog"));
        QCOMPARE(h.boxes.shown[0].style, 35);
        QCOMPARE(h.port.portOpen(), portOpen && !closes);
        QCOMPARE(h.port.calls().contains(QStringLiteral("Close")), portOpen && closes);
        if (!closes)
            QVERIFY(h.form->Timer1.isActive());
        QVERIFY(!QFile::exists(h.iniPath())); // nothing is saved on exit
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
