#include "settings/settingsfile.h"

#include <QTest>

using namespace SettingsFile;

namespace {

SettingsRecord defaults()
{
    SettingsRecord r;
    r.ucApp = QStringLiteral("DUTY01");
    return r;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void defaultsGiveTheExactBytes()
    {
        QCOMPARE(format(defaults()), QByteArray("1,\"9600\",\"-\",0,\"DUTY01\"\r\n"
                                                "\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<SettingsRecord>("record");

        SettingsRecord r = defaults();
        r.MyLabels[2] = QStringLiteral("a,b");
        QTest::addRow("a label with a comma stays one field") << r;
        r = defaults();
        r.MyLabels[1] = QStringLiteral("Pumpe ü");
        r.DevPass = QStringLiteral("€uro");
        QTest::addRow("non-ASCII texts survive") << r;
        r = defaults();
        r.CommPort = -32768;
        r.STime = 32767;
        r.Baud.clear();
        r.MyLabels[4] = QStringLiteral("  padded  ");
        QTest::addRow("extreme numbers, empty and padded texts") << r;
    }

    void roundTrip()
    {
        QFETCH(SettingsRecord, record);
        const ParseResult result = parse(format(record));
        QVERIFY(result.record);
        QCOMPARE(*result.record, record);
        QVERIFY(result.ucApp);
        QCOMPARE(*result.ucApp, record.ucApp);
    }

    void nonAsciiIsWrittenAsUtf8()
    {
        SettingsRecord r = defaults();
        r.MyLabels[1] = QStringLiteral("Pumpe ü");
        QVERIFY(format(r).contains("\"Pumpe \xc3\xbc\""));
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("commPort");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("sTime");
        QTest::addColumn<QString>("ucApp");
        QTest::addColumn<QString>("label1");

        QTest::addRow("a Latin-1 file reads byte FC as ü")
            << QByteArray("3,\"19200\",\"-\",5,\"X\"\r\n\"Pumpe \xfc\",\"b\",\"c\",\"d\"\r\n") << 3 << "19200"
            << 5 << "X"
            << "Pumpe ü";
        QTest::addRow("LF-only line ends")
            << QByteArray("2,\"9600\",\"-\",0,\"A\"\n\"l1\",\"l2\",\"l3\",\"l4\"\n") << 2 << "9600" << 0
            << "A"
            << "l1";
        QTest::addRow("the last field may end without a line end")
            << QByteArray("2,\"9600\",\"-\",0,\"A\"\r\n\"l1\",\"l2\",\"l3\",\"l4\"") << 2 << "9600" << 0
            << "A"
            << "l1";
        QTest::addRow("a negative sample time loads")
            << QByteArray("1,\"9600\",\"-\",-5,\"A\"\r\n\"l1\",\"l2\",\"l3\",\"l4\"\r\n") << 1 << "9600" << -5
            << "A"
            << "l1";
        QTest::addRow("blanks around fields are skipped or trimmed")
            << QByteArray(" 4 ,\t\"9600\" ,  -  ,  7  ,\"A\"\r\n  \"l1\"  , l2 ,\"l3\",\"l4\"\r\n") << 4
            << "9600" << 7 << "A"
            << "l1";
        QTest::addRow("the fields may be spread over any lines")
            << QByteArray("1\r\n\"9600\",\"-\"\r\n0,\"A\",\"l1\",\"l2\",\"l3\",\"l4\"\r\n") << 1 << "9600"
            << 0 << "A"
            << "l1";
        QTest::addRow("a line break inside quotes belongs to the text")
            << QByteArray("1,\"9600\",\"-\",0,\"A\"\r\n\"two\r\nlines\",\"l2\",\"l3\",\"l4\"\r\n") << 1
            << "9600" << 0 << "A"
            << "two\r\nlines";
        QTest::addRow("text after the closing quote is dropped")
            << QByteArray("1,\"96\"00,\"-\",0,\"A\"junk\r\n\"l1\"x,\"l2\",\"l3\",\"l4\"\r\n") << 1 << "96"
            << 0 << "A"
            << "l1";
        QTest::addRow("a whole number in decimal form is rounded to even")
            << QByteArray("7.5,\"9600\",\"-\",6.5,\"A\"\r\n\"l1\",\"l2\",\"l3\",\"l4\"\r\n") << 8 << "9600"
            << 6 << "A"
            << "l1";
    }

    void reads()
    {
        QFETCH(QByteArray, bytes);
        const ParseResult result = parse(bytes);
        QVERIFY(result.record);
        QTEST(int(result.record->CommPort), "commPort");
        QTEST(result.record->Baud, "baud");
        QTEST(int(result.record->STime), "sTime");
        QTEST(result.record->ucApp, "ucApp");
        QTEST(*result.ucApp, "ucApp");
        QTEST(result.record->MyLabels[1], "label1");
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("ucApp"); // null: not reached

        QTest::addRow("an empty file gives nothing") << QByteArray() << QString();
        QTest::addRow("a missing second line keeps ucApp")
            << QByteArray("1,\"9600\",\"-\",0,\"MINE\"\r\n") << "MINE";
        QTest::addRow("a second line cut short keeps ucApp")
            << QByteArray("1,\"9600\",\"-\",0,\"MINE\"\r\n\"l1\",\"l2\",") << "MINE";
        QTest::addRow("a quote left open to the end keeps ucApp")
            << QByteArray("1,\"9600\",\"-\",0,\"MINE\"\r\n\"l1\",\"l2\",\"l3\",\"l4\r\n") << "MINE";
        QTest::addRow("ucApp left open gives nothing") << QByteArray("1,\"9600\",\"-\",0,\"MI") << QString();
        QTest::addRow("a port that is no number gives nothing")
            << QByteArray("x,\"9600\",\"-\",0,\"A\"\r\n\"l1\",\"l2\",\"l3\",\"l4\"\r\n") << QString();
        QTest::addRow("a port beyond 16 bits gives nothing")
            << QByteArray("40000,\"9600\",\"-\",0,\"A\"\r\n\"l1\",\"l2\",\"l3\",\"l4\"\r\n") << QString();
        QTest::addRow("a sample time that is no number gives nothing")
            << QByteArray("1,\"9600\",\"-\",x,\"A\"\r\n\"l1\",\"l2\",\"l3\",\"l4\"\r\n") << QString();
    }

    void failures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, ucApp);
        const ParseResult result = parse(bytes);
        QVERIFY(!result.record);
        QCOMPARE(result.ucApp.has_value(), !ucApp.isNull());
        if (result.ucApp)
            QCOMPARE(*result.ucApp, ucApp);
    }

    void validUtf8UpToAStrayByteIsStillLatin1() { QCOMPARE(decode("\xc3\xbc\xfc"), QStringLiteral("Ã¼ü")); }

    void unstorable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("storable");

        QTest::addRow("a plain text is storable") << "PWM(%):" << true;
        QTest::addRow("a comma is storable") << "a,b" << true;
        QTest::addRow("a double quote is not") << "say \"hi\"" << false;
        QTest::addRow("a line feed is not") << "a\nb" << false;
    }

    void unstorable()
    {
        QFETCH(QString, text);
        QFETCH(bool, storable);
        QCOMPARE(unstorableReason(text).isEmpty(), storable);
    }

    void pathFor_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("path");

        QTest::addRow("joins with one slash") << "/opt/tools"
                                              << "/opt/tools/panel2.ini";
        QTest::addRow("does not double a trailing slash") << "/opt/tools/"
                                                          << "/opt/tools/panel2.ini";
    }

    void pathFor()
    {
        QFETCH(QString, dir);
        QTEST(SettingsFile::pathFor(dir, QStringLiteral("panel2")), "path");
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
