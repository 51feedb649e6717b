// The duty and frequency buttons: what each sends, the Send box's checks, and a failed send.
#include "app/vbcolor.h"
#include "testsupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QtTest>

namespace {

// Presses a panel button by the name of its handler.
void press(MainForm &form, const QString &button)
{
    if (button == u"cmd0P")
        form.cmd0P_Click();
    else if (button == u"cmd50P")
        form.cmd50P_Click();
    else if (button == u"cmd100P")
        form.cmd100P_Click();
    else if (button == u"cmdPV01")
        form.cmdPV01_Click();
    else if (button == u"cmdSV02")
        form.cmdSV02_Click();
    else if (button.startsWith(u"cmdFpwm"))
        form.cmdFpwm_Click(button.mid(7).toInt());
    else
        QFAIL(qPrintable(QStringLiteral("no such button: ") + button));
}

// Opens the port the way the first retry tick does, then keeps the retry timer out of the way.
void openPort(FormHarness &h)
{
    h.form->Timer1_Timer();
    h.form->Timer1.stop();
    h.port.clearWritten();
}

} // namespace

class TestControlPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QLocale::setDefault(QLocale::c());
    }

    void eachButtonSendsItsCommands_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::addRow("0%% sets zero then asks PV1? in a separate write")
            << "cmd0P" << QList<QByteArray>{"SV01=0\r", "PV1?\r"};
        QTest::addRow("50%% sets fifty then asks PV1?")
            << "cmd50P" << QList<QByteArray>{"SV01=50\r", "PV1?\r"};
        QTest::addRow("100%% sets a hundred then asks PV1?")
            << "cmd100P" << QList<QByteArray>{"SV01=100\r", "PV1?\r"};
        for (int k = 1; k <= 7; ++k)
            QTest::addRow("preset %d sends its number, not its frequency, and no query", k)
                << QStringLiteral("cmdFpwm%1").arg(k)
                << QList<QByteArray>{"SV02=" + QByteArray::number(k) + '\r'};
        QTest::addRow("the button captioned PV01? asks for the duty set value")
            << "cmdPV01" << QList<QByteArray>{"SV01?\r"};
        QTest::addRow("the hidden SV02? button asks for the preset")
            << "cmdSV02" << QList<QByteArray>{"SV02?\r"};
    }
    void eachButtonSendsItsCommands()
    {
        QFETCH(QString, button);
        QFETCH(QList<QByteArray>, writes);
        FormHarness h;
        openPort(h);
        press(*h.form, button);
        QCOMPARE(h.port.writes(), writes);
        // The last command sent stays behind in PendingCommand, without its carriage return.
        QCOMPARE(h.form->PendingCommand, QString::fromLatin1(writes.last().chopped(1)));
        QVERIFY(h.boxes.shown.isEmpty());
    }

    void sendBoxChecksTheTypedValue_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("sent"); // empty: refused
        QTest::addRow("37 goes out as plain digits") << "37" << QByteArray("SV01=37\r");
        QTest::addRow("7 goes out with no leading zero") << "7" << QByteArray("SV01=7\r");
        QTest::addRow("blanks around the number are allowed") << " 37 " << QByteArray("SV01=37\r");
        QTest::addRow("12.5 rounds to the even 12") << "12.5" << QByteArray("SV01=12\r");
        QTest::addRow("13.5 rounds to the even 14") << "13.5" << QByteArray("SV01=14\r");
        QTest::addRow("100.5 rounds down to 100") << "100.5" << QByteArray("SV01=100\r");
        QTest::addRow("-0.4 rounds to 0 and is sent without a sign") << "-0.4" << QByteArray("SV01=0\r");
        QTest::addRow("0 is the lowest accepted") << "0" << QByteArray("SV01=0\r");
        QTest::addRow("100 is the highest accepted") << "100" << QByteArray("SV01=100\r");
        QTest::addRow("101 is above the range") << "101" << QByteArray();
        QTest::addRow("-1 is below the range") << "-1" << QByteArray();
        QTest::addRow("-0.6 rounds to -1 and is refused") << "-0.6" << QByteArray();
        QTest::addRow("an empty box is refused") << "" << QByteArray();
        QTest::addRow("abc is no number") << "abc" << QByteArray();
        QTest::addRow("40000 does not fit 16 bits") << "40000" << QByteArray();
        QTest::addRow("the word error left by a refusal is refused again") << "error" << QByteArray();
    }
    void sendBoxChecksTheTypedValue()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        FormHarness h;
        openPort(h);
        h.c().txtSV01->setText(typed);
        h.form->cmdSV01_Click();
        if (sent.isEmpty()) {
            QCOMPARE(h.c().txtSV01->text(), QStringLiteral("error"));
            QVERIFY(h.port.writes().isEmpty());
            QVERIFY(h.form->PendingCommand.isEmpty());
        } else {
            QCOMPARE(h.port.writes(), QList<QByteArray>{sent}); // no PV1? follows
            QCOMPARE(h.c().txtSV01->text(), typed);
        }
        QVERIFY(h.boxes.shown.isEmpty());
    }

    void sendBoxReadsTheUsersDecimalComma()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        FormHarness h;
        openPort(h);
        h.c().txtSV01->setText(QStringLiteral("12,5"));
        h.form->cmdSV01_Click();
        h.c().txtSV01->setText(QStringLiteral("13,5"));
        h.form->cmdSV01_Click();
        QCOMPARE(h.port.writes(), (QList<QByteArray>{"SV01=12\r", "SV01=14\r"}));
    }

    void presetClickLeavesTheHighlightToTheReply()
    {
        FormHarness h;
        openPort(h);
        h.port.simulateArrival("SV02=3\r");
        const QColor highlight = vbColor(VbColor::Highlight);
        const QColor face = vbColor(VbColor::ButtonFace);
        QCOMPARE(buttonBackColor(h.c().cmdFpwm[3]), highlight);
        h.form->cmdFpwm_Click(5);
        QCOMPARE(h.port.writes(), QList<QByteArray>{"SV02=5\r"});
        for (int i = 1; i <= 7; ++i)
            QCOMPARE(buttonBackColor(h.c().cmdFpwm[i]), i == 3 ? highlight : face);
    }

    void controlsTakeNoClicksBeforeIdentification()
    {
        FormHarness h;
        openPort(h);
        QVERIFY(!h.c().frmTemp1->isEnabled());
        h.c().cmd50P->click();
        h.c().cmdFpwm[3]->click();
        h.c().cmdSV01->click();
        QVERIFY(h.port.writes().isEmpty());
    }

    void failedPresetAsksTwiceAndRestartsOnYes()
    {
        FormHarness h; // port never opened: every write fails
        h.boxes.answers = {MsgBoxResult::Yes, MsgBoxResult::Yes};
        h.form->cmd50P_Click();
        QCOMPARE(h.boxes.shown.size(), 2); // the set command, then PV1? on the still closed port
        for (const auto &box : std::as_const(h.boxes.shown)) {
            QCOMPARE(box.prompt,
                     QStringLiteral("NO RESPONSE! Check connected hardware! Do you want to continue ?"));
            QCOMPARE(box.title, QStringLiteral("MsgBox: NO RESPONSE - COMMUNICATION ERROR!"));
            QCOMPARE(box.style, 276);
            QCOMPARE(box.helpFile, QStringLiteral("DEMO.HLP"));
            QCOMPARE(box.helpContext, 1000);
        }
        QCOMPARE(h.port.calls().filter(QStringLiteral("Output")),
                 (QStringList{QStringLiteral("Output SV01=50\r"), QStringLiteral("Output PV1?\r")}));
        QVERIFY(h.port.written().isEmpty());
        QCOMPARE(h.status(), QStringLiteral("wait..."));
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightYellow));
        QVERIFY(h.form->Timer1.isActive());
        QVERIFY(!h.form->StTimer.isActive());
        QVERIFY(h.form->isEnabled());
        QVERIFY(!h.port.portOpen());
        QCOMPARE(h.endCalls, 0);
    }

    void noEndsTheProgramAndSendsNothingMore()
    {
        FormHarness h;
        h.boxes.answers = {MsgBoxResult::No};
        bool ended = false;
        try {
            h.form->cmd0P_Click();
        } catch (const ProgramEnded &) {
            ended = true;
        }
        QVERIFY(ended);
        QCOMPARE(h.endCalls, 1);
        QCOMPARE(h.boxes.shown.size(), 1);
        QCOMPARE(h.port.calls().filter(QStringLiteral("Output")),
                 QStringList{QStringLiteral("Output SV01=0\r")});
        QVERIFY(!h.port.calls().contains(QStringLiteral("Open")));
    }
};

QTEST_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
