#include "link/lineassembler.h"

#include <QTest>

using Lines = QList<QByteArray>;

class TestLineAssembler : public QObject
{
    Q_OBJECT

private slots:
    void splitsOneFeedIntoLines_data();
    void splitsOneFeedIntoLines();
    void givesTheSameLinesWhereverTheInputIsCut_data();
    void givesTheSameLinesWhereverTheInputIsCut();
    void keepsAFragmentForTheNextFeed();
    void capsAnOverlongLine_data();
    void capsAnOverlongLine();
};

void TestLineAssembler::splitsOneFeedIntoLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<QByteArray>("pending");

    QTest::addRow("CR LF ends a line, the LF is dropped")
        << QByteArray("SV01=50\r\n") << Lines{"SV01=50"} << QByteArray();
    QTest::addRow("LF CR ends a line") << QByteArray("SV01=50\n\r") << Lines{"SV01=50"} << QByteArray();
    QTest::addRow("CR alone ends a line") << QByteArray("SV01=50\r") << Lines{"SV01=50"} << QByteArray();
    QTest::addRow("LF alone never ends a line")
        << QByteArray("SV01=50\nSV02=3\n") << Lines{} << QByteArray("SV01=50SV02=3");
    QTest::addRow("an LF inside a line is dropped")
        << QByteArray("SV0\n1=5\r") << Lines{"SV01=5"} << QByteArray();
    QTest::addRow("two CRs in a row hand on one line")
        << QByteArray("DUTY01\r\r") << Lines{"DUTY01"} << QByteArray();
    QTest::addRow("a CR on an empty line hands on nothing")
        << QByteArray("\r\n\r") << Lines{} << QByteArray();
    QTest::addRow("two lines in one feed, in order")
        << QByteArray("DUTY01\rSV02=3\r") << Lines{"DUTY01", "SV02=3"} << QByteArray();
    QTest::addRow("mixed endings and a trailing fragment")
        << QByteArray("\nA\r\n\r\nB\n\rC\rpart") << Lines{"A", "B", "C"} << QByteArray("part");
    QTest::addRow("a blank is kept as a character") << QByteArray(" \r") << Lines{" "} << QByteArray();
    QTest::addRow("a zero byte is kept as a character")
        << QByteArray("a\0b\r", 4) << Lines{QByteArray("a\0b", 3)} << QByteArray();
    QTest::addRow("an empty feed adds nothing") << QByteArray() << Lines{} << QByteArray();
}

void TestLineAssembler::splitsOneFeedIntoLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Lines, lines);
    QFETCH(QByteArray, pending);

    LineAssembler assembler;
    QCOMPARE(assembler.feed(bytes), lines);
    QCOMPARE(assembler.pending(), pending);
}

void TestLineAssembler::givesTheSameLinesWhereverTheInputIsCut_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Lines>("lines");

    QTest::addRow("CR LF endings") << QByteArray("DUTY01\r\nSV01=50\r\nSV02=3\r\n")
                                   << Lines{"DUTY01", "SV01=50", "SV02=3"};
    QTest::addRow("mixed endings with empty lines")
        << QByteArray("\r\nAB\n\r\r\nC\rD\nE\r\n") << Lines{"AB", "C", "DE"};
}

void TestLineAssembler::givesTheSameLinesWhereverTheInputIsCut()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Lines, lines);

    for (qsizetype first = 0; first <= bytes.size(); ++first) {
        for (qsizetype second = first; second <= bytes.size(); ++second) {
            LineAssembler assembler;
            Lines got = assembler.feed(bytes.first(first));
            got += assembler.feed(bytes.sliced(first, second - first));
            got += assembler.feed(bytes.sliced(second));
            QVERIFY2(got == lines, qPrintable(QStringLiteral("cut at %1 and %2").arg(first).arg(second)));
            QVERIFY(assembler.pending().isEmpty());
        }
    }

    LineAssembler byteByByte;
    Lines got;
    for (char c : bytes)
        got += byteByByte.feed(QByteArrayView(&c, 1));
    QCOMPARE(got, lines);
}

void TestLineAssembler::keepsAFragmentForTheNextFeed()
{
    LineAssembler assembler;
    QCOMPARE(assembler.feed("SV0"), Lines{});
    QCOMPARE(assembler.pending(), QByteArray("SV0"));
    QCOMPARE(assembler.feed(""), Lines{});
    QCOMPARE(assembler.feed("1=5\nX"), Lines{});
    QCOMPARE(assembler.feed("\rY\r"), (Lines{"SV01=5X", "Y"}));
    QVERIFY(assembler.pending().isEmpty());

    assembler.feed("stale");
    assembler.clear();
    QCOMPARE(assembler.feed("fresh\r"), Lines{"fresh"});
}

void TestLineAssembler::capsAnOverlongLine_data()
{
    QTest::addColumn<QList<qsizetype>>("chunks");

    constexpr qsizetype max = LineAssembler::kMaxLine;
    QTest::addRow("in one feed") << QList<qsizetype>{40000};
    QTest::addRow("exactly the limit") << QList<qsizetype>{max};
    QTest::addRow("spread over feeds crossing the limit") << QList<qsizetype>{max - 1, 2, 5000};
    QTest::addRow("spread over feeds, limit at a feed's end") << QList<qsizetype>{100, max - 100, 1, 1};
}

void TestLineAssembler::capsAnOverlongLine()
{
    QFETCH(QList<qsizetype>, chunks);

    LineAssembler assembler;
    qsizetype sent = 0;
    for (qsizetype size : chunks) {
        QByteArray chunk(size, 'x');
        // The kept bytes are the first ones: mark the position of the limit.
        for (qsizetype i = 0; i < size; ++i)
            chunk[i] = sent + i < LineAssembler::kMaxLine - 1 ? 'x' : 'y';
        QCOMPARE(assembler.feed(chunk), Lines{});
        QVERIFY(assembler.pending().size() <= LineAssembler::kMaxLine);
        sent += size;
    }
    const Lines lines = assembler.feed("\rSV01=5\r");
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].size(), LineAssembler::kMaxLine);
    QCOMPARE(lines[0].count('y'), 1);
    QCOMPARE(lines[0].back(), 'y');
    QCOMPARE(lines[1], QByteArray("SV01=5"));
}

QTEST_GUILESS_MAIN(TestLineAssembler)
#include "tst_lineassembler.moc"
