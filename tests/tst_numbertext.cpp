#include "link/numbertext.h"

#include <QTest>
#include <cmath>
#include <limits>

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void readsLeadingNumber_data();
    void readsLeadingNumber();
    void formatsGeneral_data();
    void formatsGeneral();
    void formatsFractionsWithLocaleSeparator_data();
    void formatsFractionsWithLocaleSeparator();
};

void TestNumberText::readsLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::addRow("a whole number") << "50" << 50.0;
    QTest::addRow("a decimal fraction") << "12.5" << 12.5;
    QTest::addRow("an empty text is 0") << "" << 0.0;
    QTest::addRow("a word is 0") << "abc" << 0.0;
    QTest::addRow("a leading blank is skipped") << " 7" << 7.0;
    QTest::addRow("a percent sign ends the number") << "45%" << 45.0;
    QTest::addRow("trailing zeros after the point") << "3.0" << 3.0;
    QTest::addRow("a leading zero") << "03" << 3.0;
    QTest::addRow("nine significant digits stay apart from 1") << "1.00000001" << 1.00000001;
    QTest::addRow("blanks between digits are skipped") << "1 2" << 12.0;
    QTest::addRow("tabs and line feeds are skipped too") << "\t1\n2 .\t5" << 12.5;
    QTest::addRow("a carriage return ends the number") << "1\r2" << 1.0;
    QTest::addRow("a plus sign") << "+8" << 8.0;
    QTest::addRow("a minus sign") << "-8" << -8.0;
    QTest::addRow("a blank after the sign") << "- 8" << -8.0;
    QTest::addRow("a point without leading digit") << "-.5" << -0.5;
    QTest::addRow("a point without following digit") << "5." << 5.0;
    QTest::addRow("a point alone is 0") << "." << 0.0;
    QTest::addRow("a sign alone is 0") << "-" << 0.0;
    QTest::addRow("two signs are 0") << "+-3" << 0.0;
    QTest::addRow("a second point ends the number") << "1.2.3" << 1.2;
    QTest::addRow("a comma ends the number, whatever the locale") << "12,5" << 12.0;
    QTest::addRow("an E exponent") << "1e3" << 1000.0;
    QTest::addRow("a D exponent") << "1D2" << 100.0;
    QTest::addRow("a lower-case d exponent with sign") << "25d-1" << 2.5;
    QTest::addRow("an exponent with plus sign") << "1.5E+2" << 150.0;
    QTest::addRow("blanks inside the exponent") << "1 e - 2" << 0.01;
    QTest::addRow("an exponent letter without digits is ignored") << "1e" << 1.0;
    QTest::addRow("an exponent sign without digits is ignored") << "1e+" << 1.0;
    QTest::addRow("an exponent alone is 0") << "e5" << 0.0;
    QTest::addRow("a letter after the digits ends the number") << "7x9" << 7.0;
    QTest::addRow("hexadecimal") << "&H1F" << 31.0;
    QTest::addRow("hexadecimal in lower case") << "&hff" << 255.0;
    QTest::addRow("octal") << "&O17" << 15.0;
    QTest::addRow("octal stops at an 8") << "&o178" << 15.0;
    QTest::addRow("hexadecimal of 16 bits is signed") << "&HFFFF" << -1.0;
    QTest::addRow("hexadecimal 8000 is the lowest 16-bit value") << "&H8000" << -32768.0;
    QTest::addRow("octal of 16 bits is signed") << "&O177777" << -1.0;
    QTest::addRow("hexadecimal just beyond 16 bits is positive") << "&H10000" << 65536.0;
    QTest::addRow("hexadecimal of 32 bits is signed") << "&HFFFFFFFF" << -1.0;
    QTest::addRow("hexadecimal beyond 32 bits is unsigned") << "&H100000000" << 4294967296.0;
    QTest::addRow("hexadecimal saturates at 64 bits") << "&H1FFFFFFFFFFFFFFFF" << 18446744073709551615.0;
    QTest::addRow("a prefix without digits is 0") << "&H" << 0.0;
    QTest::addRow("an unknown prefix is 0") << "&X12" << 0.0;
    QTest::addRow("a sign before a prefix is 0") << "-&H10" << 0.0;
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addRow("a huge exponent overflows") << "1e999" << inf;
    QTest::addRow("just beyond the double range") << "1.8e308" << inf;
    QTest::addRow("an exponent beyond any integer") << "1e99999999999999999999999" << inf;
    QTest::addRow("many digits outweigh a negative exponent") << "1" + QString(400, u'0') + "e-350" << 1e50;
    QTest::addRow("a huge negative number overflows") << "-1e999" << -inf;
    QTest::addRow("a tiny number underflows to 0") << "1e-999" << 0.0;
    QTest::addRow("many leading fraction zeros outweigh the exponent")
        << "0." + QString(400, u'0') + "1e390" << 1e-11;
    QTest::addRow("a zero with a huge exponent is 0") << "0e999999" << 0.0;
    QTest::addRow("a decimal fraction read exactly") << "0.3" << 0.3;
    QTest::addRow("eighteen digits read exactly") << "123456789.123456789" << 123456789.123456789;
    QTest::addRow("a tie beyond 2^53 rounds to even") << "9007199254740993" << 9007199254740992.0;
}

void TestNumberText::readsLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(readLeadingNumber(text), expected);
}

void TestNumberText::formatsGeneral_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");

    QTest::addRow("a whole number has no separator") << 50.0f << "50";
    QTest::addRow("zero") << 0.0f << "0";
    QTest::addRow("negative zero") << -0.0f << "0";
    QTest::addRow("a fraction") << 12.5f << "12.5";
    QTest::addRow("a negative fraction") << -12.5f << "-12.5";
    QTest::addRow("a float close to 0.1 shows as 0.1") << 0.1f << "0.1";
    QTest::addRow("a third has seven digits") << 1.0f / 3.0f << "0.3333333";
    QTest::addRow("two thirds rounds the seventh digit") << 2.0f / 3.0f << "0.6666667";
    QTest::addRow("seven digits with a fraction") << 123456.7f << "123456.7";
    QTest::addRow("the smallest plain magnitude") << 0.0001f << "0.0001";
    QTest::addRow("rounding up to the smallest plain magnitude") << 0.000099999996f << "0.0001";
    QTest::addRow("below the plain range") << 0.00001f << "1E-05";
    QTest::addRow("below the plain range with a fraction") << 1.5e-5f << "1.5E-05";
    QTest::addRow("negative below the plain range") << -2.5e-7f << "-2.5E-07";
    QTest::addRow("the largest plain whole number") << 9999999.0f << "9999999";
    QTest::addRow("half above it is ten million as a float") << 9999999.5f << "1E+07";
    QTest::addRow("ten million") << 10000000.0f << "1E+07";
    QTest::addRow("eight digits round to seven") << 12345678.0f << "1.234568E+07";
    QTest::addRow("a large power of ten") << 1e20f << "1E+20";
    QTest::addRow("the largest float") << std::numeric_limits<float>::max() << "3.402823E+38";
    QTest::addRow("the smallest float") << std::numeric_limits<float>::denorm_min() << "1.401298E-45";
    QTest::addRow("a whole number with inner zeros") << 1000001.0f << "1000001";
    QTest::addRow("rounding carries into a new digit") << std::nextafter(2.0f, 0.0f) << "2";
    QTest::addRow("infinity") << std::numeric_limits<float>::infinity() << "inf";
    QTest::addRow("negative infinity") << -std::numeric_limits<float>::infinity() << "-inf";
    QTest::addRow("a double beyond the float range") << static_cast<float>(1e39) << "inf";
    QTest::addRow("not a number") << std::numeric_limits<float>::quiet_NaN() << "nan";
}

void TestNumberText::formatsGeneral()
{
    QFETCH(float, value);
    QFETCH(QString, expected);
    QCOMPARE(formatGeneral(value, QLocale::c()), expected);
}

void TestNumberText::formatsFractionsWithLocaleSeparator_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");

    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTest::addRow("German fraction") << german << 12.5f << "12,5";
    QTest::addRow("German large whole number has no group separator") << german << 1234567.0f << "1234567";
    QTest::addRow("German exponent mantissa") << german << 12345678.0f << "1,234568E+07";
    QTest::addRow("German small fraction") << german << 0.0005f << "0,0005";
    QTest::addRow("English large whole number has no group separator") << english << 1234567.0f << "1234567";
    QTest::addRow("English fraction") << english << 0.25f << "0.25";
}

void TestNumberText::formatsFractionsWithLocaleSeparator()
{
    QFETCH(QLocale, locale);
    QFETCH(float, value);
    QFETCH(QString, expected);
    QCOMPARE(formatGeneral(value, locale), expected);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
