// Reply lines: how they are cut from the received bytes and what each one does.
#include "app/vbcolor.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

class TestReplyInterpreter : public QObject
{
    Q_OBJECT

    static int highlighted(const FormHarness &h)
    {
        int found = 0;
        for (int i = 1; i <= 7; ++i) {
            const QColor colour = buttonBackColor(h.c().cmdFpwm[i]);
            if (colour == vbColor(VbColor::Highlight)) {
                if (found)
                    return -1; // more than one
                found = i;
            } else if (colour != vbColor(VbColor::ButtonFace)) {
                return -2;
            }
        }
        return found;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void everyLineShowsInTheStatusOnLightGreen()
    {
        FormHarness h;
        h.form->Timer1_Timer();
        h.port.simulateArrival("SV01=50\r");
        QCOMPARE(h.status(), QStringLiteral("COM:1 Baud:9600 COM data: SV01=50"));
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightGreen));
        QVERIFY(!h.form->TimerCom.isActive());
    }

    void identification_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("found");
        QTest::addRow("the exact code") << QByteArray("DUTY01") << true;
        QTest::addRow("other letter case") << QByteArray("duty01") << false;
        QTest::addRow("a trailing blank") << QByteArray("DUTY01 ") << false;
        QTest::addRow("a leading blank") << QByteArray(" DUTY01") << false;
        QTest::addRow("a longer code") << QByteArray("DUTY011") << false;
    }
    void identification()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, found);
        FormHarness h;
        h.form->Timer1_Timer();
        h.port.simulateArrival(line + '\r');
        QCOMPARE(h.form->Timer1.isActive(), !found);
        QCOMPARE(h.form->Timer2.isActive(), found);
        if (found) {
            QCOMPARE(h.status(), QStringLiteral("Found: DUTY01"));
            QCOMPARE(h.statusColor(), vbColor(VbColor::Green));
            QCOMPARE(h.c().lblDevCode->text(), QStringLiteral("Kestravon: uc=DUTY01  pc=pwm-panel"));
        } else {
            QCOMPARE(h.status(), QStringLiteral("COM:1 Baud:9600 COM data: ") + QString::fromLatin1(line));
            QCOMPARE(h.c().lblDevCode->text(), QStringLiteral("???"));
        }
    }

    void sampleTimeDecidesWhetherPollingStarts_data()
    {
        QTest::addColumn<int>("sampleTime");
        QTest::addRow("no sample time") << 0;
        QTest::addRow("a negative sample time") << -3;
        QTest::addRow("five seconds") << 5;
    }
    void sampleTimeDecidesWhetherPollingStarts()
    {
        QFETCH(int, sampleTime);
        FormHarness h(QStringLiteral("1,\"9600\",\"-\",%1,\"DUTY01\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n")
                          .arg(sampleTime)
                          .toLatin1());
        h.identify();
        QCOMPARE(h.form->StTimer.isActive(), sampleTime > 0);
        if (sampleTime > 0)
            QCOMPARE(int(h.form->SampleTickCount), sampleTime - 1);
        else
            QCOMPARE(int(h.form->SampleTickCount), 0);
        QVERIFY(h.form->Timer2.isActive());
    }

    void dutyLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("shown");
        QTest::addRow("a whole number") << QByteArray("SV01=50") << "50";
        QTest::addRow("a fraction") << QByteArray("SV01=12.5") << "12.5";
        QTest::addRow("nothing after the prefix") << QByteArray("SV01=") << "0";
        QTest::addRow("no number") << QByteArray("SV01=abc") << "0";
        QTest::addRow("a blank before the number") << QByteArray("SV01= 7") << "7";
        QTest::addRow("a unit after the number") << QByteArray("SV01=45%") << "45";
        QTest::addRow("eight digits in exponent form") << QByteArray("SV01=12345678") << "1.234568E+07";
        QTest::addRow("beyond single precision") << QByteArray("SV01=1E39") << "inf";
        QTest::addRow("beyond double precision") << QByteArray("SV01=-1E999") << "-inf";
        QTest::addRow("a hexadecimal number") << QByteArray("SV01=&H1F") << "31";
    }
    void dutyLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, shown);
        FormHarness h;
        h.port.simulateArrival(line + '\r');
        QCOMPARE(h.c().lblTemp[1]->text(), shown);
    }

    void dutyUsesTheLocaleSeparator()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        FormHarness h;
        h.port.simulateArrival("SV01=12.5\r");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(h.c().lblTemp[1]->text(), QStringLiteral("12,5"));
    }

    void presetLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("button");
        QTest::addRow("preset 3") << QByteArray("SV02=3") << 3;
        QTest::addRow("preset 3 written 3.0") << QByteArray("SV02=3.0") << 3;
        QTest::addRow("preset 3 written 03") << QByteArray("SV02=03") << 3;
        QTest::addRow("preset 1") << QByteArray("SV02=1") << 1;
        QTest::addRow("preset 7") << QByteArray("SV02=7") << 7;
        QTest::addRow("nearest single is 1") << QByteArray("SV02=1.00000001") << 1;
        QTest::addRow("zero is no preset") << QByteArray("SV02=0") << 0;
        QTest::addRow("eight is no preset") << QByteArray("SV02=8") << 0;
        QTest::addRow("a fraction is no preset") << QByteArray("SV02=2.5") << 0;
        QTest::addRow("a negative is no preset") << QByteArray("SV02=-3") << 0;
        QTest::addRow("lower case prefix changes nothing") << QByteArray("sv02=3") << 0;
        QTest::addRow("a short line changes nothing") << QByteArray("SV02") << 0;
    }
    void presetLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, button);
        FormHarness h;
        h.port.simulateArrival(line + '\r');
        QCOMPARE(highlighted(h), button);
        QCOMPARE(h.status(), QStringLiteral("COM:1 Baud:9600 COM data: ") + QString::fromLatin1(line));
    }

    void theNextPresetLineMovesTheHighlight()
    {
        FormHarness h;
        h.port.simulateArrival("SV02=5\r");
        QCOMPARE(highlighted(h), 5);
        h.port.simulateArrival("SV02=2\r");
        QCOMPARE(highlighted(h), 2);
        h.port.simulateArrival("SV02=9\r");
        QCOMPARE(highlighted(h), 0);
        h.port.simulateArrival("PV1=3\r"); // not a preset line: the highlight stays
        QCOMPARE(highlighted(h), 0);
    }

    void aCodeThatIsAlsoADutyLineDoesBoth()
    {
        FormHarness h("1,\"9600\",\"-\",0,\"SV01=9\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n");
        h.identify("SV01=9");
        QVERIFY(!h.form->Timer1.isActive());
        QCOMPARE(h.c().lblTemp[1]->text(), QStringLiteral("9"));
        QCOMPARE(h.status(), QStringLiteral("Found: SV01=9"));
    }

    void overlongLines_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("refused");
        QTest::addRow("32767 characters are handled") << 32767 << false;
        QTest::addRow("32768 characters are too long") << 32768 << true;
        QTest::addRow("a megabyte without CR is cut and refused") << (1 << 20) << true;
    }
    void overlongLines()
    {
        QFETCH(int, length);
        QFETCH(bool, refused);
        FormHarness h;
        QByteArray line = "SV01=42" + QByteArray(length - 7, 'x');
        h.port.simulateArrival(line + '\r');
        QCOMPARE(h.status() == QStringLiteral("???"), refused);
        QCOMPARE(h.c().lblTemp[1]->text(), refused ? QStringLiteral("-") : QStringLiteral("42"));
        QVERIFY(h.form->ReceiveLine.pending().isEmpty());
        h.port.simulateArrival("SV01=7\r"); // the next line is clean
        QCOMPARE(h.c().lblTemp[1]->text(), QStringLiteral("7"));
    }

    void receiving_data()
    {
        QTest::addColumn<QList<QByteArray>>("arrivals");
        QTest::addColumn<QString>("duty");
        QTest::addColumn<int>("preset");
        QTest::addColumn<bool>("found");
        using L = QList<QByteArray>;
        QTest::addRow("two lines in one burst") << L{"DUTY01\rSV02=3\r"} << "-" << 3 << true;
        QTest::addRow("CR LF endings") << L{"SV01=50\r\n"} << "50" << 0 << false;
        QTest::addRow("LF CR endings") << L{"\nSV01=50\n\r"} << "50" << 0 << false;
        QTest::addRow("LF alone never ends a line") << L{"SV01=50\nSV02=3\n"} << "-" << 0 << false;
        QTest::addRow("a line cut in pieces") << L{"DU", "TY0", "1\r"} << "-" << 0 << true;
        QTest::addRow("a stale fragment heads the next line") << L{"SV0", "SV01=5\r"} << "-" << 0 << false;
        QTest::addRow("a notification with nothing waiting adds no blank")
            << L{"", "DUTY01\r"} << "-" << 0 << true;
        QTest::addRow("empty lines are skipped") << L{"\r\r\r\nSV01=1\r\r"} << "1" << 0 << false;
    }
    void receiving()
    {
        QFETCH(QList<QByteArray>, arrivals);
        QFETCH(QString, duty);
        QFETCH(int, preset);
        QFETCH(bool, found);
        FormHarness h;
        h.form->Timer1_Timer();
        for (const QByteArray &bytes : arrivals)
            h.port.simulateArrival(bytes);
        QCOMPARE(h.c().lblTemp[1]->text(), duty);
        QCOMPARE(highlighted(h), preset);
        QCOMPARE(!h.form->Timer1.isActive(), found);
    }

    void otherPortEventsReadNothing()
    {
        FormHarness h;
        h.port.simulateArrival("SV0");
        h.port.simulateEvent(3);
        QCOMPARE(h.form->ReceiveLine.pending(), QByteArrayLiteral("SV0"));
    }

    void aReplyIsInterpretedInsideThePacingDelay()
    {
        FormHarness h;
        QTimer::singleShot(5, &h.port, [&] { h.port.simulateArrival("SV01=42\r"); });
        QElapsedTimer clock;
        clock.start();
        h.form->cmdKasnjenje_Click();
        QVERIFY(clock.elapsed() >= 50);
        QCOMPARE(h.c().lblTemp[1]->text(), QStringLiteral("42"));
    }
};

QTEST_MAIN(TestReplyInterpreter)
#include "tst_replyinterpreter.moc"
