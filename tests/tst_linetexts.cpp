// What the link makes of texts: a baud rate as typed, and the advice given
// when a port will not open.
#include "link/linesettings.h"
#include "link/portadvice.h"

#include <QTest>
#include <optional>

using namespace Qt::StringLiterals;

using Rate = std::optional<qint32>;
Q_DECLARE_METATYPE(Rate)

class TestLineTexts : public QObject
{
    Q_OBJECT

private slots:
    void baudTextsArePositiveWholeRates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Rate>("rate");
        for (const char *refused : {"96OO", "-9600", "9600.5", "0", "99999999999", "", " 9600"})
            QTest::addRow("\"%s\"", refused) << QString::fromLatin1(refused) << Rate();
        // Common rates that termios has no name for are rates all the same.
        for (const qint32 accepted : {110, 9600, 14400, 28800, 56000, 128000, 256000, 4000000})
            QTest::addRow("%d", accepted) << QString::number(accepted) << Rate(accepted);
    }
    void baudTextsArePositiveWholeRates()
    {
        QFETCH(QString, text);
        QTEST(baudRateFromText(text), "rate");
    }

    void adviceNamesTheWayOut_data()
    {
        QTest::addColumn<int>("trouble");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<QStringList>("doesNotSay");
        QTest::addRow("no permission")
            << int(PortTrouble::NoPermission) << u"/dev/ttyUSB0"_s
            << QStringList{u"/dev/ttyUSB0"_s, u"dialout"_s, u"usermod"_s} << QStringList{u"ModemManager"_s};
        QTest::addRow("held, a USB serial adapter") << int(PortTrouble::HeldByOther) << u"/dev/ttyUSB1"_s
                                                    << QStringList{u"/dev/ttyUSB1"_s, u"another program"_s}
                                                    << QStringList{u"ModemManager"_s, u"dialout"_s};
        QTest::addRow("held, a CDC device")
            << int(PortTrouble::HeldByOther) << u"/dev/ttyACM0"_s
            << QStringList{u"another program"_s, u"ModemManager"_s, u"udev"_s} << QStringList{u"dialout"_s};
    }
    void adviceNamesTheWayOut()
    {
        QFETCH(int, trouble);
        QFETCH(QString, device);
        QFETCH(QStringList, says);
        QFETCH(QStringList, doesNotSay);
        const QString advice = portAdvice(PortTrouble(trouble), device);
        for (const QString &word : says)
            QVERIFY2(advice.contains(word), qPrintable(word + u" missing from: "_s + advice));
        for (const QString &word : doesNotSay)
            QVERIFY2(!advice.contains(word), qPrintable(word + u" in: "_s + advice));
    }
};

QTEST_MAIN(TestLineTexts)
#include "tst_linetexts.moc"
