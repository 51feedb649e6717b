// The settings file format, and the whole-number conversion its numbers (and the boxes) go through.
#include "settings/settingsfile.h"
#include "settings/wholenumber.h"

#include <QTest>

using namespace SettingsFile;
using namespace Qt::StringLiterals;
using Whole = std::optional<qint16>;
Q_DECLARE_METATYPE(Whole)

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void wholeNumbersRoundHalvesToEven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<Whole>("expected");
        // clang-format off
        const std::pair<const char *, Whole> rows[] = {
            {"37", 37}, {" \t+12 ", 12}, {"2.5", 2}, {"3.5", 4}, {"6.5", 6}, {"7.5", 8}, {"12.5", 12},
            {"13.5", 14}, {"100.5", 100}, {"-0.4", 0}, {"-0.6", -1}, {"-1.5", -2}, {".6", 1}, {"2.50", 2},
            {"2.5000000000000000001", 3}, {"32767", 32767}, {"-32768.5", -32768}, {"32767.5", {}},
            {"-32769", {}}, {"40000", {}}, {"", {}}, {"abc", {}}, {"-", {}}, {"45%", {}}, {"1 2", {}},
            {"1e2", {}}, {"1,5", {}}, {"1.2.3", {}}};
        // clang-format on
        for (const auto &[text, expected] : rows)
            QTest::addRow("\"%s\"", text) << QString::fromLatin1(text) << QLocale::c() << expected;
        QTest::addRow("a German decimal comma") << "13,5" << QLocale(QLocale::German) << Whole(14);
        QTest::addRow("a German group separator") << "1.000" << QLocale(QLocale::German) << Whole();
    }
    void wholeNumbersRoundHalvesToEven()
    {
        QFETCH(QString, text);
        QFETCH(QLocale, locale);
        QTEST(toWholeNumber(text, locale), "expected");
    }

    void theDefaultsAreWrittenExactly()
    {
        SettingsRecord defaults;
        defaults.deviceCode = u"DUTY01"_s;
        QCOMPARE(format(defaults),
                 "1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n"_ba);
    }

    // Read back as written: a quoted comma, non-ASCII texts (as UTF-8), extreme numbers, an empty text.
    void aRecordSurvivesARoundTrip()
    {
        const std::array<QString, 4> labels = {u"Pumpe ü"_s, u"a,b"_s, u"nc"_s, u"nc"_s};
        const SettingsRecord r{-32768, {}, u"€uro"_s, 32767, u"DUTY01"_s, labels};
        const QByteArray bytes = format(r);
        QVERIFY(bytes.contains("\"Pumpe \xc3\xbc\""));
        QCOMPARE(parse(bytes).record, std::optional(r));
        QCOMPARE(parse(bytes).deviceCode, std::optional(r.deviceCode));
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("read"); // the record written again, or only the device code, or nothing
        const QByteArray labels = "\"l1\",\"l2\",\"l3\",\"l4\"\r\n";
        // clang-format off
        QTest::addRow("a file that is not UTF-8 reads as Latin-1")
            << "3,\"19200\",\"-\",5,\"X\"\r\n\"\xfc \xc3\xbc\",\"b\",\"c\",\"d\"\r\n"_ba
            << "3,\"19200\",\"-\",5,\"X\"\r\n\"ü Ã¼\",\"b\",\"c\",\"d\"\r\n"_ba;
        QTest::addRow("blanks, LF line ends, text after quotes, fields over lines, the last end missing")
            << " 4 ,\t\"96\"00\n - , -7 ,\"A\"x\n\"l1\" , l2 ,\"l3\"\n\"l4\""_ba
            << "4,\"96\",\"-\",-7,\"A\"\r\n"_ba + labels;
        QTest::addRow("numbers in decimal form round to even")
            << "7.5,\"9600\",\"-\",6.5,\"A\"\r\n"_ba + labels << "8,\"9600\",\"-\",6,\"A\"\r\n"_ba + labels;
        QTest::addRow("an empty file gives nothing") << QByteArray() << QByteArray();
        QTest::addRow("no second line: the device code only") << "1,\"9600\",\"-\",0,\"MINE\"\r\n"_ba << "MINE"_ba;
        QTest::addRow("a port no number") << "x,\"9600\",\"-\",0,\"A\"\r\n"_ba + labels << QByteArray();
        QTest::addRow("a sample time no number") << "1,\"9600\",\"-\",x,\"A\"\r\n"_ba + labels << QByteArray();
        // Reading stops at the first field that fails: the device code (field 5) needs all fields before it.
        QTest::addRow("a port out of range") << "40000,\"9600\",\"-\",0,\"A\"\r\n"_ba + labels << QByteArray();
        QTest::addRow("a sample time out of range") << "1,\"9600\",\"-\",-32769,\"A\"\r\n"_ba + labels << QByteArray();
        QTest::addRow("a truncated first line") << "1,\"9600\",\"-"_ba << QByteArray();
        QTest::addRow("a truncated second line") << "1,\"9600\",\"-\",0,\"A\"\r\n\"l1\",\"l"_ba << "A"_ba;
        QTest::addRow("an unterminated quote shifts the fields") << "1,\"9600,\"-\",0,\"A\"\r\n"_ba + labels << QByteArray();
        QTest::addRow("missing commas") << "1 \"9600\" \"-\" 0 \"A\"\r\n"_ba + labels << QByteArray();
        QTest::addRow("binary junk") << "\x00\x01\xff\xfe,\x7f\"\x80\r\x00"_ba << QByteArray();
        // Read as it stands; the link refuses such a baud text when it is applied.
        QTest::addRow("a NUL byte in a text")
            << "1,\"96\x00""00\",\"-\",0,\"A\"\r\n"_ba + labels << "1,\"96\x00""00\",\"-\",0,\"A\"\r\n"_ba + labels;
        // clang-format on
    }
    void reads()
    {
        QFETCH(QByteArray, bytes);
        const ParseResult r = parse(bytes);
        QTEST(r.record ? format(*r.record) : r.deviceCode ? r.deviceCode->toUtf8() : QByteArray(), "read");
        QVERIFY(!r.record || r.deviceCode == r.record->deviceCode);
    }

    void aHugeFileIsReadWithoutFault()
    {
        // 10 MB: a valid first line, then a label that never ends.
        QByteArray bytes = "1,\"9600\",\"-\",0,\"BIG\"\r\n\""_ba;
        bytes += QByteArray(10 << 20, 'x');
        const ParseResult r = parse(bytes);
        QCOMPARE(r.deviceCode, std::optional(u"BIG"_s));
        QVERIFY(!r.record);
    }

    void theFileLiesBesideTheExecutableWhereItCan_data()
    {
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("path");
        const QString bench = u"/opt/bench"_s;
        const QString config = u"/home/u/.config/pwm-panel/PANEL2.ini"_s;
        QTest::addRow("a file there, folder writable") << bench << true << true << u"/opt/bench/PANEL2.ini"_s;
        QTest::addRow("a file there, folder read-only")
            << bench << true << false << u"/opt/bench/PANEL2.ini"_s;
        QTest::addRow("no file, folder writable") << bench << false << true << u"/opt/bench/PANEL2.ini"_s;
        QTest::addRow("no file, folder read-only") << bench << false << false << config;
        QTest::addRow("installed, run as root") << u"/usr/bin"_s << false << true << config;
        QTest::addRow("installed, a file beside it") << u"/usr/bin"_s << true << true << config;
        QTest::addRow("a folder that only starts like /usr")
            << u"/usrlocal"_s << false << true << u"/usrlocal/PANEL2.ini"_s;
    }
    void theFileLiesBesideTheExecutableWhereItCan()
    {
        QFETCH(QString, exeDir);
        QFETCH(bool, exists);
        QFETCH(bool, writable);
        QTEST(choosePath(exeDir, u"PANEL2"_s, u"/home/u/.config/pwm-panel"_s, exists, writable), "path");
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
