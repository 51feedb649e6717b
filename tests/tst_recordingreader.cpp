// A recording read back: the CSV's quoting, escapes, guard and time offsets
// undone exactly, bad rows reported by line, other files refused, a growing
// file followed piece by piece.
#include "trend/csvrowformat.h"
#include "trend/recordingloader.h"
#include "trend/recordingreader.h"
#include "trend/samplestore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {
const QByteArray kHeader = "time,elapsed_s,direction,text,name,value\r\n";
// 2026-12-07T19:59:40.123+01:00
constexpr qint64 kMoment = 1796669980123;
} // namespace

class TestRecordingReader : public QObject
{
    Q_OBJECT

private slots:
    void readsARowAsTheLineThatCrossed_data()
    {
        QTest::addColumn<QByteArray>("row");
        QTest::addColumn<qint64>("msecs");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QByteArray>("bytes");
        // clang-format off
        QTest::addRow("received, with its offset") << "2026-12-07T19:59:40.123+01:00,1.000,received,SV01=50,SV01,50"_ba << kMoment << false << "SV01=50"_ba;
        QTest::addRow("the same moment in another zone") << "2026-12-07T13:59:40.123-05:00,1.000,received,X,,"_ba << kMoment << false << "X"_ba;
        QTest::addRow("sent") << "2026-12-07T18:59:40.123Z,0.000,sent,I?,,"_ba << kMoment << true << "I?"_ba;
        QTest::addRow("quoted, a comma and quotes inside") << "2026-12-07T19:59:40.123+01:00,1.000,received,\"a,\"\"b\"\"\",,"_ba << kMoment << false << "a,\"b\""_ba;
        QTest::addRow("escaped bytes") << "2026-12-07T19:59:40.123+01:00,1.000,received,\\x00\\x5C\\xC2\\xB5,,"_ba << kMoment << false << QByteArray("\0\\\xC2\xB5", 4);
        QTest::addRow("the formula guard") << "2026-12-07T19:59:40.123+01:00,1.000,received,'=1+2,,"_ba << kMoment << false << "=1+2"_ba;
        QTest::addRow("the device's own quote") << "2026-12-07T19:59:40.123+01:00,1.000,received,\\x27abc,,"_ba << kMoment << false << "'abc"_ba;
        QTest::addRow("a leap day, across midnight in UTC") << "2028-02-29T00:30:00.000+01:00,1.000,received,X,,"_ba << qint64(1835393400000) << false << "X"_ba;
        QTest::addRow("without milliseconds") << "2026-12-07T19:59:40+01:00,1.000,received,X,,"_ba << kMoment - 123 << false << "X"_ba;
        QTest::addRow("an empty line") << "2026-12-07T19:59:40.123+01:00,1.000,received,,,"_ba << kMoment << false << ""_ba;
        // clang-format on
    }
    void readsARowAsTheLineThatCrossed()
    {
        QFETCH(QByteArray, row);
        QFETCH(qint64, msecs);
        QFETCH(bool, sent);
        QFETCH(QByteArray, bytes);
        RecordingReader reader;
        const QList<RecordedRow> rows = reader.feed(kHeader + row + "\r\n");
        QVERIFY2(reader.problems().isEmpty(), qPrintable(reader.problems().join(u'\n')));
        QCOMPARE(rows, (QList<RecordedRow>{{msecs, sent, bytes}}));
    }

    void reportsABadRowByItsLineAndReadsOn_data()
    {
        QTest::addColumn<QByteArray>("row");
        QTest::addColumn<QString>("problem");
        // clang-format off
        QTest::addRow("five fields") << "2026-12-07T19:59:40.123+01:00,1.000,received,X,"_ba << u"line 3: not six fields"_s;
        QTest::addRow("a quote left open") << "2026-12-07T19:59:40.123+01:00,1.000,received,\"X,,"_ba << u"line 3: not six fields"_s;
        QTest::addRow("no offset") << "2026-12-07T19:59:40.123,1.000,received,X,,"_ba << u"line 3: no time with its offset"_s;
        QTest::addRow("February 30th") << "2026-02-30T19:59:40.123+01:00,1.000,received,X,,"_ba << u"line 3: no time with its offset"_s;
        QTest::addRow("25 o'clock") << "2026-12-07T25:59:40.123+01:00,1.000,received,X,,"_ba << u"line 3: no time with its offset"_s;
        QTest::addRow("no time") << "yesterday,1.000,received,X,,"_ba << u"line 3: no time with its offset"_s;
        QTest::addRow("another direction") << "2026-12-07T19:59:40.123+01:00,1.000,lost,X,,"_ba << u"line 3: neither sent nor received"_s;
        QTest::addRow("a stray backslash") << "2026-12-07T19:59:40.123+01:00,1.000,received,a\\b,,"_ba << u"line 3: a text with a stray backslash"_s;
        QTest::addRow("half an escape") << "2026-12-07T19:59:40.123+01:00,1.000,received,a\\x4,,"_ba << u"line 3: a text with a stray backslash"_s;
        // clang-format on
    }
    void reportsABadRowByItsLineAndReadsOn()
    {
        QFETCH(QByteArray, row);
        QFETCH(QString, problem);
        const QByteArray good = "2026-12-07T19:59:40.123+01:00,1.000,received,OK,,\r\n";
        RecordingReader reader;
        const QList<RecordedRow> rows = reader.feed(kHeader + good + row + "\r\n" + good);
        QCOMPARE(reader.problems(), QStringList{problem});
        QCOMPARE(rows.size(), 2);
        QVERIFY(!reader.isRefused());
    }

    // A line longer than any row of ours is not kept whole while its end is
    // awaited: a file without line ends cannot fill the memory.
    void passesOverALineTooLongToKeep()
    {
        const QByteArray good = "2026-12-07T19:59:40.123+01:00,1.000,received,OK,,\r\n";
        const QByteArray file = kHeader + good + QByteArray(3 << 20, 'x') + "\r\n" + good;
        RecordingReader reader;
        QList<RecordedRow> rows;
        for (qsizetype at = 0; at < file.size(); at += 64 << 10) {
            rows +=
                reader.feed(QByteArrayView(file).sliced(at, std::min<qsizetype>(64 << 10, file.size() - at)));
            QVERIFY(reader.pendingBytes() <= RecordingReader::kLongestLine + (64 << 10));
        }
        QCOMPARE(rows.size(), 2);
        QCOMPARE(reader.problems(), QStringList{u"line 3: longer than 1048576 bytes"_s});

        RecordingReader noLineEnds;
        for (int i = 0; i < 40; ++i)
            noLineEnds.feed(QByteArray(64 << 10, 'x'));
        QVERIFY(noLineEnds.isRefused());
        QCOMPARE(noLineEnds.pendingBytes(), 0);
    }

    void refusesAFileThatIsNotARecording_data()
    {
        QTest::addColumn<QByteArray>("start");
        QTest::addRow("another CSV") << "a,b,c\r\n1,2,3\r\n"_ba;
        QTest::addRow("an export of another program") << "time,value\r\n"_ba;
        QTest::addRow("binary") << QByteArray("\x89PNG\r\n\x1a\n", 8);
    }
    void refusesAFileThatIsNotARecording()
    {
        QFETCH(QByteArray, start);
        RecordingReader reader;
        QCOMPARE(reader.feed(start + "2026-12-07T19:59:40.123+01:00,1.000,received,X,,\r\n"),
                 QList<RecordedRow>{});
        QVERIFY(reader.isRefused());
        QVERIFY(reader.refusal().startsWith(u"This is not a recording of pwm-panel"_s));
    }

    // Every byte, and every start a spreadsheet would run, written as the
    // recorder writes it and fed back a byte at a time as a growing file comes.
    void readsBackWhatWasRecordedWhereverTheFileIsCut()
    {
        QList<QByteArray> lines;
        for (int b = 0; b < 256; ++b)
            lines << QByteArray(1, char(b)) + "x" + QByteArray(1, char(b));
        lines << "=SUM(A1)"
              << "+1"
              << "-5"
              << "@x"
              << "'quoted"
              << "a,\"b\""
              << "SV01=50";
        CsvRowFormat format;
        QByteArray file = CsvRowFormat::header();
        for (qsizetype i = 0; i < lines.size(); ++i)
            file += format.row(WireLine::read(lines[i], kMoment + i), i,
                               i % 2 ? CsvRowFormat::Direction::Sent : CsvRowFormat::Direction::Received);
        RecordingReader reader;
        QList<RecordedRow> rows;
        for (const char c : std::as_const(file))
            rows += reader.feed(QByteArrayView(&c, 1));
        QVERIFY2(reader.problems().isEmpty(), qPrintable(reader.problems().join(u'\n')));
        QCOMPARE(rows.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QCOMPARE(rows[i], (RecordedRow{kMoment + i, i % 2 == 1, lines[i]}));
    }

    // Loaded between events into a store, then followed as the recorder appends.
    void loadsAFileAndFollowsItAsItGrows()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(u"night.csv"_s));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        CsvRowFormat format;
        QByteArray rows = CsvRowFormat::header();
        for (int i = 0; i < 5000; ++i)
            rows += format.row(WireLine::read("PV01=" + QByteArray::number(i), kMoment + i), i,
                               CsvRowFormat::Direction::Received);
        rows += format.row(WireLine::read("PV01?", kMoment + 5000), 5000, CsvRowFormat::Direction::Sent);
        file.write(rows);
        SampleStore store;
        RecordingLoader loader(store);
        QSignalSpy loaded(&loader, &RecordingLoader::loaded);
        QVERIFY(loader.start(file.fileName()));
        QVERIFY(loaded.wait(5000));
        QCOMPARE(store.series().size(), 1u);
        QCOMPARE(store.series()[0].samples.size(), 5000u); // the sent row is no sample
        QCOMPARE(store.series()[0].samples.back().msecs, kMoment + 4999);

        file.write(
            format.row(WireLine::read("PV01=7", kMoment + 6000), 6000, CsvRowFormat::Direction::Received));
        QTRY_COMPARE_WITH_TIMEOUT(store.series()[0].samples.size(), 5001u, 5000);
        QCOMPARE(store.series()[0].samples.back().value, 7.0);
    }

    void refusesWhatItCannotLoadWithoutWaiting_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::addRow("a FIFO") << u"fifo"_s << u"a device, a FIFO or a socket"_s;
        QTest::addRow("a folder") << u"folder"_s << u"folder"_s;
        QTest::addRow("nothing there") << u"missing"_s << u"no such file"_s;
        QTest::addRow("another file") << u"other"_s << u"not a recording of pwm-panel"_s;
    }
    void refusesWhatItCannotLoadWithoutWaiting()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"target"_s);
        if (kind == u"fifo")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"folder")
            QVERIFY(QDir().mkdir(path));
        else if (kind == u"other") {
            QFile other(path);
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write("a,b\r\n1,2\r\n") > 0);
        }
        SampleStore store;
        RecordingLoader loader(store);
        QSignalSpy failed(&loader, &RecordingLoader::failed);
        loader.start(path);
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY2(failed[0][0].toString().contains(why), qPrintable(failed[0][0].toString()));
        QVERIFY(store.series().empty());
    }
};

QTEST_MAIN(TestRecordingReader)
#include "tst_recordingreader.moc"
