// Reply lines: how they are cut from the received bytes and what each one does.
#include "testsupport.h"

#include <QElapsedTimer>

class TestReplyInterpreter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void onlyTheExactCodeIdentifies_data()
    {
        QTest::addColumn<QByteArray>("ucApp"); // from the settings file
        QTest::addColumn<int>("sTime");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("running"); // any reply stops the time-out
        // clang-format off
        const std::tuple<const char *, int, const char *, const char *> rows[] = {
            {"DUTY01", 0, "DUTY01", "Timer2"}, {"DUTY01", 5, "DUTY01", "Timer2 StTimer"},
            {"DUTY01", -3, "DUTY01", "Timer2"}, {"DUTY01", 0, "duty01", "Timer1"},
            {"DUTY01", 0, "DUTY01 ", "Timer1"}, {"DUTY01", 0, " DUTY01", "Timer1"},
            {"DUTY01", 0, "DUTY011", "Timer1"}, {"DEV7", 0, "DUTY01", "Timer1"},
            {"DEV7", 0, "DEV7", "Timer2"}};
        // clang-format on
        for (const auto &[ucApp, sTime, line, running] : rows)
            QTest::addRow("%s: \"%s\", STime %d", ucApp, line, sTime)
                << QByteArray(ucApp) << sTime << QByteArray(line) << QString::fromLatin1(running);
    }
    void onlyTheExactCodeIdentifies()
    {
        QFETCH(QByteArray, ucApp);
        QFETCH(int, sTime);
        QFETCH(QByteArray, line);
        FormHarness h(iniFile(sTime, ucApp));
        h.identify(line);
        QTEST(h.running(), "running");
        const bool found = !h.form->Timer1.isActive();
        const QString text = QString::fromLatin1(line);
        QCOMPARE(h.status(), (found ? u"Found: "_s : u"COM:1 Baud:9600 COM data: "_s) + text);
        QCOMPARE(h.statusColor(), vbColor(found ? VbColor::Green : VbColor::LightGreen));
        QCOMPARE(h.c().lblDevCode->text(), found ? "Kestravon: uc=" + text + "  pc=pwm-panel" : u"???"_s);
        QCOMPARE(h.form->SampleTickCount, qMax(sTime - 1, 0));
    }

    void dutyAndPresetLinesShowTheirValue_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("duty");
        QTest::addColumn<QList<int>>("lit"); // after preset 5 was lit
        // clang-format off
        const std::tuple<const char *, const char *, QList<int>> rows[] = {
            {"SV01=50", "50", {5}}, {"SV01=", "0", {5}}, {"SV01=12345678", "1.234568E+07", {5}},
            {"SV01=1E39", "inf", {5}}, {"SV01=-1E999", "-inf", {5}}, {"sv01=5", "-", {5}},
            {"SV02=3", "-", {3}}, {"SV02=3.0", "-", {3}}, {"SV02=03", "-", {3}}, {"SV02=7", "-", {7}},
            {"SV02=1.00000001", "-", {1}}, {"SV02=0", "-", {}}, {"SV02=8", "-", {}}, {"SV02=2.5", "-", {}},
            {"SV02=-3", "-", {}}, {"sv02=3", "-", {5}}, {"SV02", "-", {5}}, {"PV1=3", "-", {5}}};
        // clang-format on
        for (const auto &[line, duty, lit] : rows)
            QTest::addRow("%s", line) << QByteArray(line) << QString::fromLatin1(duty) << lit;
    }
    void dutyAndPresetLinesShowTheirValue()
    {
        QFETCH(QByteArray, line);
        FormHarness h;
        h.port.simulateArrival("SV02=5\r" + line + '\r');
        QTEST(h.c().lblTemp[1]->text(), "duty");
        QTEST(highlighted(h.c()), "lit");
    }

    void aCodeThatIsAlsoADutyLineDoesBoth()
    {
        FormHarness h(iniFile(0, "SV01=9"));
        h.identify("SV01=9");
        QCOMPARE(h.status(), u"Found: SV01=9"_s);
        QCOMPARE(h.c().lblTemp[1]->text(), u"9"_s);
    }

    void anOverlongLineShowsQuestionMarks()
    {
        FormHarness h;
        h.port.simulateArrival("SV01=42" + QByteArray(32767 - 7, 'x') + '\r');
        QCOMPARE(h.c().lblTemp[1]->text(), u"42"_s); // the longest line handled
        h.port.simulateArrival("SV01=43" + QByteArray(32768 - 7, 'x') + '\r');
        QCOMPARE(h.status(), u"???"_s);
        QCOMPARE(h.c().lblTemp[1]->text(), u"42"_s);
        h.port.simulateArrival("SV01=7\r"); // the next line is clean
        QCOMPARE(h.c().lblTemp[1]->text(), u"7"_s);
    }

    void receivesLinesInAnyPieces_data()
    {
        QTest::addColumn<QByteArrayList>("arrivals");
        QTest::addColumn<QString>("duty");
        QTest::addColumn<bool>("found");
        // clang-format off
        QTest::addRow("two lines in one burst") << QByteArrayList{"SV01=5\rDUTY01\r"} << "5" << true;
        QTest::addRow("CR LF endings") << QByteArrayList{"SV01=50\r\n"} << "50" << false;
        QTest::addRow("LF alone ends no line") << QByteArrayList{"SV01=50\nDUTY01\n"} << "-" << false;
        QTest::addRow("a line cut in pieces") << QByteArrayList{"DU", "TY0", "1\r"} << "-" << true;
        QTest::addRow("an empty notification adds no blank") << QByteArrayList{"", "DUTY01\r"} << "-" << true;
        QTest::addRow("empty lines are skipped") << QByteArrayList{"\r\r\r\nSV01=1\r\r"} << "1" << false;
        // clang-format on
    }
    void receivesLinesInAnyPieces()
    {
        QFETCH(QByteArrayList, arrivals);
        FormHarness h;
        h.form->Timer1_Timer();
        for (const QByteArray &bytes : arrivals)
            h.port.simulateArrival(bytes);
        QTEST(h.c().lblTemp[1]->text(), "duty");
        QTEST(!h.form->Timer1.isActive(), "found");
    }

    void aReplyIsInterpretedInsideThePacingDelay()
    {
        FormHarness h;
        QTimer::singleShot(5, &h.port, [&] { h.port.simulateArrival("SV01=42\r"); });
        QElapsedTimer clock;
        clock.start();
        h.form->cmdKasnjenje_Click();
        QVERIFY(clock.elapsed() >= 50);
        QCOMPARE(h.c().lblTemp[1]->text(), u"42"_s);
    }
};

QTEST_MAIN(TestReplyInterpreter)
#include "tst_replyinterpreter.moc"
