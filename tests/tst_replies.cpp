// Reply lines: how they are cut from the received bytes and what each one does.
#include "sessionharness.h"

class TestReplies : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void onlyTheExactCodeIdentifies_data()
    {
        QTest::addColumn<QByteArray>("deviceCode"); // from the settings file
        QTest::addColumn<int>("sampleTime");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("found");
        // clang-format off
        const std::tuple<const char *, int, const char *, bool> rows[] = {
            {"DUTY01", 0, "DUTY01", true}, {"DUTY01", 5, "DUTY01", true},
            {"DUTY01", -3, "DUTY01", true}, {"DUTY01", 0, "duty01", false},
            {"DUTY01", 0, "DUTY01 ", false}, {"DUTY01", 0, " DUTY01", false},
            {"DUTY01", 0, "DUTY011", false}, {"DEV7", 0, "DUTY01", false},
            {"DEV7", 0, "DEV7", true}};
        // clang-format on
        for (const auto &[code, sampleTime, line, found] : rows)
            QTest::addRow("%s: \"%s\", sample time %d", code, line, sampleTime)
                << QByteArray(code) << sampleTime << QByteArray(line) << found;
    }
    void onlyTheExactCodeIdentifies()
    {
        QFETCH(QByteArray, deviceCode);
        QFETCH(int, sampleTime);
        QFETCH(QByteArray, line);
        QFETCH(bool, found);
        SessionHarness h(iniFile(sampleTime, deviceCode));
        h.identify(line);
        QCOMPARE(h.session->state(),
                 found ? DeviceSession::State::Identified : DeviceSession::State::Searching);
        const QString text = QString::fromLatin1(line);
        QCOMPARE(h.status(), (found ? u"Found: "_s : u"COM:1 Baud:9600 COM data: "_s) + text);
        QCOMPARE(h.tone(), found ? StatusTone::Found : StatusTone::Receiving);
        QCOMPARE(h.screen.deviceLine, found ? "Kestravon: uc=" + text + "  pc=pwm-panel" : u"???"_s);
        // Sampling starts with the code, and only with a sample time; the first poll is due at the next tick.
        QCOMPARE(h.tick(SessionTimer::SampleTick), found && sampleTime > 0);
        if (found && sampleTime > 0)
            QCOMPARE(h.status(), u"STime:%1 STimer:%2"_s.arg(sampleTime).arg(sampleTime - 1));
    }

    void dutyAndPresetLinesShowTheirValue_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("duty");
        QTest::addColumn<int>("lit"); // after preset 5 was lit; 0: none
        // clang-format off
        const std::tuple<const char *, const char *, int> rows[] = {
            {"SV01=50", "50", 5}, {"SV01=", "0", 5}, {"SV01=12345678", "1.234568E+07", 5},
            {"SV01=1E39", "inf", 5}, {"SV01=-1E999", "-inf", 5}, {"sv01=5", "-", 5},
            {"SV02=3", "-", 3}, {"SV02=3.0", "-", 3}, {"SV02=03", "-", 3}, {"SV02=7", "-", 7},
            {"SV02=1.00000001", "-", 1}, {"SV02=0", "-", 0}, {"SV02=8", "-", 0}, {"SV02=2.5", "-", 0},
            {"SV02=-3", "-", 0}, {"sv02=3", "-", 5}, {"SV02", "-", 5}, {"PV1=3", "-", 5}};
        // clang-format on
        for (const auto &[line, duty, lit] : rows)
            QTest::addRow("%s", line) << QByteArray(line) << QString::fromLatin1(duty) << lit;
    }
    void dutyAndPresetLinesShowTheirValue()
    {
        QFETCH(QByteArray, line);
        SessionHarness h;
        h.port.simulateArrival("SV02=5\r" + line + '\r');
        QTEST(h.screen.duty, "duty");
        QTEST(h.screen.preset, "lit");
    }

    void aCodeThatIsAlsoADutyLineDoesBoth()
    {
        SessionHarness h(iniFile(0, "SV01=9"));
        h.identify("SV01=9");
        QCOMPARE(h.status(), u"Found: SV01=9"_s);
        QCOMPARE(h.screen.duty, u"9"_s);
    }

    void anOverlongLineShowsQuestionMarks()
    {
        SessionHarness h;
        h.port.simulateArrival("SV01=42" + QByteArray(32767 - 7, 'x') + '\r');
        QCOMPARE(h.screen.duty, u"42"_s); // the longest line handled
        h.port.simulateArrival("SV01=43" + QByteArray(32768 - 7, 'x') + '\r');
        QCOMPARE(h.status(), u"???"_s);
        QCOMPARE(h.screen.duty, u"42"_s);
        h.port.simulateArrival("SV01=7\r"); // the next line is clean
        QCOMPARE(h.screen.duty, u"7"_s);
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
        SessionHarness h;
        h.tick(SessionTimer::Search);
        for (const QByteArray &bytes : arrivals)
            h.port.simulateArrival(bytes);
        QTEST(h.screen.duty, "duty");
        QTEST(h.session->state() == DeviceSession::State::Identified, "found");
    }
};

QTEST_GUILESS_MAIN(TestReplies)
#include "tst_replies.moc"
