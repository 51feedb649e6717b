// Recording to CSV: the row format (quoting, escapes, numbers, time), the
// recorder's rows reaching the file as they come, and failures that stop it.
#include "link/wireline.h"
#include "trend/csvrowformat.h"
#include "trend/recorder.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using Direction = CsvRowFormat::Direction;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

private slots:
    void writesOneRowPerText_data()
    {
        QTest::addColumn<Direction>("direction");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("fields"); // after time and elapsed_s
        // clang-format off
        QTest::addRow("a command sent has no value") << Direction::Sent << "PV01?"_ba << "sent,PV01?,,"_ba;
        QTest::addRow("a reply received has name and value") << Direction::Received << "SV01=50"_ba << "received,SV01=50,SV01,50"_ba;
        QTest::addRow("the value as the device wrote it") << Direction::Received << "PV1=48.500"_ba << "received,PV1=48.500,PV1,48.500"_ba;
        QTest::addRow("every digit, none rounded") << Direction::Received << "X=16777217"_ba << "received,X=16777217,X,16777217"_ba;
        QTest::addRow("hex is text only") << Direction::Received << "V=0x1F"_ba << "received,V=0x1F,,"_ba;
        QTest::addRow("a decimal comma is text only") << Direction::Received << "V=1,5"_ba << "received,\"V=1,5\",,"_ba;
        QTest::addRow("an overflow is text only") << Direction::Received << "V=1e999"_ba << "received,V=1e999,,"_ba;
        QTest::addRow("a comma is quoted") << Direction::Received << "A,B=1"_ba << "received,\"A,B=1\",,"_ba;
        QTest::addRow("a double quote is doubled") << Direction::Received << "say \"hi\""_ba << "received,\"say \"\"hi\"\"\",,"_ba;
        QTest::addRow("bytes outside printable ASCII are escaped") << Direction::Received << "\x01\tA\xff\r"_ba << "received,\\x01\\x09A\\xFF\\x0D,,"_ba;
        QTest::addRow("a backslash is escaped, so text reads back") << Direction::Received << "a\\x41"_ba << "received,a\\x5Cx41,,"_ba;
        QTest::addRow("a formula gets a quote") << Direction::Received << "=1+2"_ba << "received,'=1+2,,"_ba;
        QTest::addRow("so do + - and @") << Direction::Received << "+A1"_ba << "received,'+A1,,"_ba;
        QTest::addRow("a lone minus is no number") << Direction::Received << "-"_ba << "received,'-,,"_ba;
        QTest::addRow("a minus before a word") << Direction::Received << "-x"_ba << "received,'-x,,"_ba;
        QTest::addRow("an at sign") << Direction::Received << "@SUM(A1)"_ba << "received,'@SUM(A1),,"_ba;
        QTest::addRow("the quote goes inside the double quotes") << Direction::Received << "=A1,B1"_ba << "received,\"'=A1,B1\",,"_ba;
        QTest::addRow("a signed number stays") << Direction::Received << "-5"_ba << "received,-5,,"_ba;
        QTest::addRow("with decimals and exponent") << Direction::Received << "+3.5e-2"_ba << "received,+3.5e-2,,"_ba;
        QTest::addRow("an exponent without digits is no number") << Direction::Received << "-1e"_ba << "received,'-1e,,"_ba;
        QTest::addRow("nor is hex") << Direction::Received << "-0x1F"_ba << "received,'-0x1F,,"_ba;
        QTest::addRow("the device's own leading quote is escaped") << Direction::Received << "'=1"_ba << "received,\\x27=1,,"_ba;
        QTest::addRow("a quote further on stays") << Direction::Received << "a'b"_ba << "received,a'b,,"_ba;
        QTest::addRow("a leading tab is escaped, not quoted") << Direction::Received << "\t=1"_ba << "received,\\x09=1,,"_ba;
        // clang-format on
    }
    void writesOneRowPerText()
    {
        QFETCH(Direction, direction);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, fields);
        CsvRowFormat format;
        const QByteArray row = format.row(WireLine::read(text, 0), 61'007, direction);
        QVERIFY(row.endsWith("\r\n"));
        const QByteArray afterTime = row.mid(row.indexOf(',') + 1).chopped(2);
        QCOMPARE(afterTime, "61.007," + fields);
    }

    // An export's row: the kept double in the fewest digits that read back to it.
    void writesAKeptSampleInDigitsThatReadBackExactly_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("number");
        QTest::addRow("a count beyond a float's digits") << 16777217.0 << "16777217"_ba;
        QTest::addRow("tiny") << 1e-300 << "1e-300"_ba;
        QTest::addRow("a tenth") << 0.1 << "0.1"_ba;
        QTest::addRow("a third") << 1.0 / 3 << "0.3333333333333333"_ba;
        QTest::addRow("thousandths of a large value") << 123456.781 << "123456.781"_ba;
        QTest::addRow("the largest double") << 1.7976931348623157e308 << "1.7976931348623157e+308"_ba;
        QTest::addRow("the smallest subnormal") << 5e-324 << "5e-324"_ba;
        QTest::addRow("negative zero") << -0.0 << "-0"_ba;
    }
    void writesAKeptSampleInDigitsThatReadBackExactly()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, number);
        CsvRowFormat format;
        const QByteArray row = format.sampleRow(0, 1'500, QLatin1StringView("X"), value);
        QVERIFY(row.endsWith(",1.500,received,X=" + number + ",X," + number + "\r\n"));
        const std::optional<double> read = readPlainNumber(number);
        QVERIFY(read);
        QCOMPARE(std::memcmp(&*read, &value, sizeof value), 0); // the very same double, its sign too
    }

    void writesLocalTimeWithMillisecondsAndOffset_data()
    {
        QTest::addColumn<QByteArray>("zone"); // POSIX TZ rules: no zone database needed
        QTest::addColumn<qint64>("msecs");
        QTest::addColumn<QByteArray>("time");
        const qint64 t = QDateTime(QDate(2026, 12, 7), QTime(18, 59, 40, 123), Qt::UTC).toMSecsSinceEpoch();
        QTest::addRow("one hour east") << "CET-1"_ba << t << "2026-12-07T19:59:40.123+01:00"_ba;
        QTest::addRow("UTC") << "UTC0"_ba << t + 4 << "2026-12-07T18:59:40.127+00:00"_ba;
        QTest::addRow("half an hour") << "<+0530>-5:30"_ba << t << "2026-12-08T00:29:40.123+05:30"_ba;
        QTest::addRow("west, across midnight")
            << "<-03>3"_ba << t - 19 * 3600'000 << "2026-12-06T20:59:40.123-03:00"_ba;
    }
    void writesLocalTimeWithMillisecondsAndOffset()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, msecs);
        QFETCH(QByteArray, time);
        const QByteArray saved = qgetenv("TZ");
        qputenv("TZ", zone);
        const auto restore = qScopeGuard([&] { qputenv("TZ", saved); });
        CsvRowFormat format;
        QCOMPARE(format.row(WireLine::read("I?", msecs), 0, Direction::Sent).left(time.size()), time);
    }

    void sendsEachRowToTheFileAsItComes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"run.csv"_s);
        Recorder recorder;
        QSignalSpy started(&recorder, &Recorder::started);
        QVERIFY(recorder.start(path));
        QCOMPARE(started.size(), 1);
        recorder.recordSent(WireLine::read("PV01?", wireClockMSecs()));
        recorder.recordReceived(WireLine::read("PV01=49", wireClockMSecs()));
        // Read while recording: nothing is held back in a buffer.
        const QList<QByteArray> rows = readFile(path).split('\n');
        QCOMPARE(rows.size(), 4); // three rows and what follows the last LF
        QCOMPARE(rows[0], "time,elapsed_s,direction,text,name,value\r"_ba);
        QVERIFY(rows[1].endsWith(",sent,PV01?,,\r"));
        QVERIFY(rows[2].endsWith(",received,PV01=49,PV01,49\r"));
        recorder.stop();
        recorder.recordReceived(WireLine::read("PV01=50", wireClockMSecs()));
        QCOMPARE(readFile(path).count('\n'), 3);
    }

    void aFailureStopsRecordingAndKeepsTheRowsBefore_data()
    {
        QTest::addColumn<QString>("path");  // in the temporary folder unless absolute
        QTest::addColumn<int>("sizeLimit"); // bytes a file may grow to; 0: none
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("rowsKept"); // -1: no file
        QTest::addRow("a folder that is not there")
            << u"gone/run.csv"_s << 0 << u"No such file or directory"_s << -1;
        QTest::addRow("a file that cannot grow, mid-row") << u"run.csv"_s << 200 << u"File too large"_s << 3;
    }
    void aFailureStopsRecordingAndKeepsTheRowsBefore()
    {
        QFETCH(QString, path);
        QFETCH(int, sizeLimit);
        QFETCH(QString, reason);
        QFETCH(int, rowsKept);
        QTemporaryDir dir;
        path = QDir(dir.path()).absoluteFilePath(path);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &saved); });
        if (sizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN); // the write fails rather than ending the process
            rlimit limit = saved;
            limit.rlim_cur = rlim_t(sizeLimit);
            QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
        }

        Recorder recorder;
        QSignalSpy failed(&recorder, &Recorder::failed);
        if (recorder.start(path))
            for (int i = 0; i < 10 && recorder.isRecording(); ++i)
                recorder.recordReceived(
                    WireLine::read("PV01=" + QByteArray::number(40 + i), wireClockMSecs()));
        QVERIFY(!recorder.isRecording());
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed[0][0].toString(), path);
        QCOMPARE(failed[0][1].toString(), reason);
        if (rowsKept < 0) {
            QVERIFY(!QFile::exists(path));
        } else if (sizeLimit) {
            const QByteArray kept = readFile(path);
            QCOMPARE(kept.count('\n'), rowsKept);
            QVERIFY(kept.endsWith(",received,PV01=41,PV01,41\r\n")); // no part of the next row
        }
    }

    void aFileDeletedOrReplacedWhileRecordingStopsIt_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::addRow("deleted") << false;
        QTest::addRow("replaced by another file") << true;
    }
    void aFileDeletedOrReplacedWhileRecordingStopsIt()
    {
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"run.csv"_s);
        Recorder recorder;
        QSignalSpy failed(&recorder, &Recorder::failed);
        QVERIFY(recorder.start(path));
        QVERIFY(QFile::remove(path));
        if (replaced) {
            QFile other(path);
            QVERIFY(other.open(QIODevice::WriteOnly));
        }
        QVERIFY(failed.wait(3000));
        QVERIFY(!recorder.isRecording());
        QCOMPARE(failed[0][0].toString(), path);
        QCOMPARE(failed[0][1].toString(), u"the file was deleted or replaced while recording"_s);
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
