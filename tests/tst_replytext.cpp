// Reply text: received bytes cut into lines, and the number at the start of a reply read and shown.
#include "link/lineassembler.h"
#include "link/numbertext.h"
#include "link/wirelog.h"

#include <QTest>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using Lines = QList<QByteArray>;

class TestReplyText : public QObject
{
    Q_OBJECT

private slots:
    void cutsTheSameLinesWhereverTheFeedsAreCut_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Lines>("lines");
        QTest::addColumn<QByteArray>("pending");
        // clang-format off
        using L = Lines;
        QTest::addRow("CR LF, LF CR, CR alone end a line") << "A\r\nB\n\rC\r"_ba << L{"A", "B", "C"} << ""_ba;
        QTest::addRow("LF alone ends none, is dropped") << "SV01=5\nSV02=3\n"_ba << L{} << "SV01=5SV02=3"_ba;
        QTest::addRow("two CRs hand on one line") << "DUTY01\r\r"_ba << L{"DUTY01"} << ""_ba;
        QTest::addRow("a fragment left") << "DUTY01\rSV02=3\rSV"_ba << L{"DUTY01", "SV02=3"} << "SV"_ba;
        QTest::addRow("no empty lines; blanks, zeros kept") << "\r\n\r \0\r"_ba << L{" \0"_ba} << ""_ba;
        QTest::addRow("nothing adds nothing") << ""_ba << Lines{} << ""_ba;
        // clang-format on
    }
    void cutsTheSameLinesWhereverTheFeedsAreCut()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Lines, lines);
        QFETCH(QByteArray, pending);
        for (qsizetype i = 0; i <= bytes.size(); ++i) {
            for (qsizetype j = i; j <= bytes.size(); ++j) { // three feeds, the middle one possibly empty
                LineAssembler a;
                Lines got = a.feed(bytes.first(i));
                got += a.feed(bytes.sliced(i, j - i));
                got += a.feed(bytes.sliced(j));
                const Lines rest = a.feed("\r"); // hands on the fragment kept
                QVERIFY2(got == lines && rest == (pending.isEmpty() ? Lines{} : Lines{pending}),
                         qPrintable(u"cut at %1, %2"_s.arg(i).arg(j)));
            }
        }
    }

    void cutsAnOverlongLineAndKeepsItsMemoryBounded()
    {
        LineAssembler assembler;
        QByteArray all;
        for (qsizetype size :
             {qsizetype(100), LineAssembler::kMaxLine - 101, qsizetype(2), qsizetype(40000)}) {
            const QByteArray feed = QByteArray::number(size).leftJustified(size, 'x');
            QCOMPARE(assembler.feed(feed), Lines{});
            all += feed;
        }
        QCOMPARE(assembler.feed("\rSV01=5\r"), (Lines{all.first(LineAssembler::kMaxLine), "SV01=5"}));
    }

    void readsTheLeadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        const double inf = std::numeric_limits<double>::infinity();
        // clang-format off
        const std::pair<const char *, double> rows[] = {
            {"50", 50}, {"12.5", 12.5}, {"", 0}, {"abc", 0}, {" 7", 7}, {"45%", 45}, {"3.0", 3}, {"03", 3},
            {"2.5", 2.5}, {"1.00000001", 1.00000001}, {"\t1\n2 .\t5", 12.5}, {"1\r2", 1}, {"- 8", -8},
            {"-.5", -0.5}, {"+-3", 0}, {"1.2.3", 1.2}, {"12,5", 12}, {"1D2", 100}, {"25d-1", 2.5},
            {"1 e - 2", 0.01}, {"1e+", 1}, {"e5", 0}, {"&H1F", 31}, {"&hff", 255}, {"&O17", 15},
            {"&o178", 15}, {"&HFFFF", -1}, {"&H8000", -32768}, {"&H10000", 65536}, {"&HFFFFFFFF", -1},
            {"&H100000000", 4294967296.0}, {"&H", 0}, {"-&H10", 0}, {"1e999", inf}, {"-1e999", -inf},
            {"1e99999999999999999999999", inf}, {"1e-999", 0}, {"0e999999", 0}, {"0.3", 0.3},
            {"9007199254740993", 9007199254740992.0}};
        // clang-format on
        for (const auto &[text, expected] : rows)
            QTest::addRow("\"%s\"", text) << QString::fromLatin1(text) << expected;
        QTest::addRow("many digits outweigh a negative exponent")
            << "1" + QString(400, u'0') + "e-350" << 1e50;
        QTest::addRow("many fraction zeros outweigh the exponent")
            << "0." + QString(400, u'0') + "1e390" << 1e-11;
    }
    void readsTheLeadingNumber()
    {
        QFETCH(QString, text);
        QTEST(readLeadingNumber(text), "expected");
    }

    void formatsWithSevenSignificantDigits_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");
        using limits = std::numeric_limits<float>;
        // clang-format off
        const std::pair<float, const char *> rows[] = {
            {50, "50"}, {-0.0f, "0"}, {12.5, "12.5"}, {-12.5, "-12.5"}, {0.1f, "0.1"}, {1 / 3.f, "0.3333333"},
            {2 / 3.0f, "0.6666667"}, {123456.7f, "123456.7"}, {0.0001f, "0.0001"},
            {0.000099999996f, "0.0001"},
            {1.5e-5f, "1.5E-05"}, {-2.5e-7f, "-2.5E-07"}, {9999999, "9999999"}, {9999999.5f, "1E+07"},
            {12345678, "1.234568E+07"}, {1e20f, "1E+20"}, {1000001, "1000001"}, {float(1.00000001), "1"},
            {std::nextafter(2.0f, 0.0f), "2"}, {limits::max(), "3.402823E+38"},
            {limits::denorm_min(), "1.401298E-45"},
            {limits::infinity(), "inf"}, {-limits::infinity(), "-inf"}, {limits::quiet_NaN(), "nan"}};
        // clang-format on
        for (const auto &[value, expected] : rows)
            QTest::addRow("%.9g", double(value)) << value << QLocale::c() << QString::fromLatin1(expected);
        const QLocale german(QLocale::German);
        QTest::addRow("a German fraction") << 12.5f << german << "12,5";
        QTest::addRow("a German mantissa") << 12345678.0f << german << "1,234568E+07";
        QTest::addRow("no German group separator") << 1234567.0f << german << "1234567";
    }
    void formatsWithSevenSignificantDigits()
    {
        QFETCH(float, value);
        QFETCH(QLocale, locale);
        QTEST(formatReplyNumber(value, locale), "expected");
    }

    // The wire log shows every byte readably, and says nothing unless asked.
    void theWireLogEscapesAndIsOffByDefault_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addRow("a command") << "SV01=50\r"_ba << uR"(SV01=50\r)"_s;
        QTest::addRow("CR LF") << "DUTY01\r\n"_ba << uR"(DUTY01\r\n)"_s;
        QTest::addRow("control, NUL and high bytes") << "\x1b[\x00\xff\xe9"_ba << uR"(\x1b[\x00\xff\xe9)"_s;
        QTest::addRow("a backslash") << "a\\b"_ba << uR"(a\\b)"_s;
    }
    void theWireLogEscapesAndIsOffByDefault()
    {
        QFETCH(QByteArray, bytes);
        QTEST(wireText(bytes), "text");
        QVERIFY(!lcWire().isDebugEnabled() && !lcLink().isInfoEnabled());
    }
};

QTEST_GUILESS_MAIN(TestReplyText)
#include "tst_replytext.moc"
