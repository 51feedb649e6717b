#include "settings/wholenumber.h"

#include <QTest>

using Result = std::optional<qint16>;
Q_DECLARE_METATYPE(Result)

class TestWholeNumber : public QObject
{
    Q_OBJECT

private slots:
    void converts_data();
    void converts();
};

void TestWholeNumber::converts_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Result>("expected");

    const QLocale c = QLocale::c();
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    const Result fails;

    QTest::addRow("a whole number") << c << "37" << Result(37);
    QTest::addRow("zero") << c << "0" << Result(0);
    QTest::addRow("leading zeros") << c << "007" << Result(7);
    QTest::addRow("a plus sign") << c << "+5" << Result(5);
    QTest::addRow("a minus sign") << c << "-5" << Result(-5);
    QTest::addRow("blanks and tabs around") << c << " \t12 \t" << Result(12);
    QTest::addRow("2.5 goes to the even 2") << c << "2.5" << Result(2);
    QTest::addRow("3.5 goes to the even 4") << c << "3.5" << Result(4);
    QTest::addRow("6.5 goes to the even 6") << c << "6.5" << Result(6);
    QTest::addRow("7.5 goes to the even 8") << c << "7.5" << Result(8);
    QTest::addRow("12.5 goes to the even 12") << en << "12.5" << Result(12);
    QTest::addRow("13.5 goes to the even 14") << en << "13.5" << Result(14);
    QTest::addRow("100.5 goes to the even 100") << en << "100.5" << Result(100);
    QTest::addRow("-0.5 goes to the even 0") << c << "-0.5" << Result(0);
    QTest::addRow("-1.5 goes to the even -2") << c << "-1.5" << Result(-2);
    QTest::addRow("-0.4 goes to 0") << c << "-0.4" << Result(0);
    QTest::addRow("-0.6 goes to -1") << c << "-0.6" << Result(-1);
    QTest::addRow("a trailing zero does not change a half") << c << "2.50" << Result(2);
    QTest::addRow("just above a half goes up") << c << "2.5000000000000000001" << Result(3);
    QTest::addRow("just below a half goes down") << c << "2.4999999999999999999" << Result(2);
    QTest::addRow("a fraction without whole part") << c << ".6" << Result(1);
    QTest::addRow("a separator without fraction") << c << "5." << Result(5);
    QTest::addRow("the largest value") << c << "32767" << Result(32767);
    QTest::addRow("the smallest value") << c << "-32768" << Result(-32768);
    QTest::addRow("the smallest value reached by a half") << c << "-32768.5" << Result(-32768);
    QTest::addRow("a half rounding beyond the largest value") << c << "32767.5" << fails;
    QTest::addRow("just beyond the largest value") << c << "32768" << fails;
    QTest::addRow("just beyond the smallest value") << c << "-32769" << fails;
    QTest::addRow("far beyond the range") << c << "40000" << fails;
    QTest::addRow("a very long number") << c << QString(30, u'9') << fails;
    QTest::addRow("an empty text") << c << "" << fails;
    QTest::addRow("only blanks") << c << "  " << fails;
    QTest::addRow("a word") << c << "abc" << fails;
    QTest::addRow("the error text of the duty box") << c << "error" << fails;
    QTest::addRow("a sign alone") << c << "-" << fails;
    QTest::addRow("a separator alone") << c << "." << fails;
    QTest::addRow("two signs") << c << "--5" << fails;
    QTest::addRow("a blank between sign and digits") << c << "- 5" << fails;
    QTest::addRow("a blank inside the digits") << c << "1 2" << fails;
    QTest::addRow("trailing text") << c << "45%" << fails;
    QTest::addRow("two separators") << c << "1.2.3" << fails;
    QTest::addRow("an exponent") << c << "1e2" << fails;
    QTest::addRow("a comma in the C locale") << c << "1,5" << fails;
    QTest::addRow("a group separator in English") << en << "1,000" << fails;
    QTest::addRow("a comma in German is the separator") << de << "12,5" << Result(12);
    QTest::addRow("a German half going up") << de << "-13,5" << Result(-14);
    QTest::addRow("a point in German is no separator") << de << "12.5" << fails;
    QTest::addRow("a German group separator") << de << "1.000" << fails;
}

void TestWholeNumber::converts()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(Result, expected);
    QCOMPARE(toWholeNumber(text, locale), expected);
}

QTEST_GUILESS_MAIN(TestWholeNumber)
#include "tst_wholenumber.moc"
