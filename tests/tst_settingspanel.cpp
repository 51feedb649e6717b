// The settings panel: opening it, SAVE-CLOSE, what a save refuses, and the reload after it.
#include "app/vbcolor.h"
#include "testsupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QtTest>

namespace {

const QByteArray kDefaultsFile = "1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n";
const QByteArray kOwnFile = "2,\"19200\",\"pw\",5,\"DUTY01\"\r\n\"Duty\",\"Lab 2\",\"x,y\",\"z\"\r\n";

QLineEdit *boxNamed(const FormHarness &h, const QString &name)
{
    const QStringList row = {"COM", "Baud", "DevPas", "STime", "ucApp"};
    if (name == u"MyLabel1")
        return h.c().txtTempName[1];
    return h.c().txtSet1[row.indexOf(name) + 1];
}

QStringList boxTexts(const FormHarness &h)
{
    QStringList texts;
    for (int i = 1; i <= 5; ++i)
        texts << h.c().txtSet1[i]->text();
    return texts;
}

} // namespace

class TestSettingsPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QLocale::setDefault(QLocale::c());
    }

    void setOpensThePanelAndOnlyStopsThePolls()
    {
        FormHarness h(kOwnFile);
        h.identify();
        QVERIFY(h.form->StTimer.isActive());
        h.port.clearCalls();
        h.form->cmdSet_Click();
        QVERIFY(!h.c().frmSet->isHidden());
        QVERIFY(!h.form->StTimer.isActive());
        QVERIFY(h.form->Timer2.isActive());
        QVERIFY(!h.form->Timer1.isActive());
        QVERIFY(h.port.portOpen());
        QVERIFY(h.port.calls().isEmpty());
        QCOMPARE(h.status(), QStringLiteral("Found: DUTY01"));
        QCOMPARE(h.iniBytes(), kOwnFile);
    }

    void saveCloseWritesTheDefaultsAndRestarts()
    {
        FormHarness h;
        h.identify();
        h.form->cmdSet_Click();
        h.port.clearCalls();
        h.form->cmdExit_Click();
        QCOMPARE(h.iniBytes(), kDefaultsFile);
        QVERIFY(h.c().frmSet->isHidden());
        QVERIFY(!h.port.portOpen());
        const QStringList calls = h.port.calls();
        QVERIFY(calls.indexOf(QStringLiteral("Close")) >= 0);
        QVERIFY(calls.indexOf(QStringLiteral("Close")) < calls.indexOf(QStringLiteral("CommPort 1")));
        QCOMPARE(h.status(), QStringLiteral("wait..."));
        QCOMPARE(h.statusColor(), vbColor(VbColor::LightYellow));
        QVERIFY(h.form->Timer1.isActive());
        QVERIFY(h.boxes.shown.isEmpty());
    }

    void comBoxRoundsHalvesToEven_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("port");
        QTest::addRow("7.5 saves 8") << "7.5" << 8;
        QTest::addRow("6.5 saves 6") << "6.5" << 6;
        QTest::addRow("2.5 saves 2") << "2.5" << 2;
        QTest::addRow("3.5 saves 4") << "3.5" << 4;
        QTest::addRow("2 saves 2") << "2" << 2;
    }
    void comBoxRoundsHalvesToEven()
    {
        QFETCH(QString, typed);
        QFETCH(int, port);
        FormHarness h;
        h.form->cmdSet_Click();
        h.c().txtSet1[1]->setText(typed);
        h.form->cmdExit_Click();
        QCOMPARE(h.iniBytes().split(',').first(), QByteArray::number(port));
        QCOMPARE(h.port.commPort(), port);
        QCOMPARE(h.c().txtSet1[1]->text(), QString::number(port));
    }

    void refusedBaudIsSavedButTheReloadFallsBack()
    {
        FormHarness h;
        h.form->cmdSet_Click();
        h.c().txtSet1[1]->setText(QStringLiteral("2"));
        h.c().txtSet1[2]->setText(QStringLiteral("96OO"));
        h.c().txtSet1[5]->setText(QStringLiteral("DEV9"));
        h.port.failNext(QStringLiteral("Settings"), SerialErrors::BadSettings); // the reload's first one
        h.form->cmdExit_Click();
        QVERIFY(h.port.calls().contains(QStringLiteral("Settings 96OO,N,8,1")));
        QVERIFY(h.iniBytes().startsWith("2,\"96OO\",\"-\",0,\"DEV9\"\r\n"));
        QCOMPARE(boxTexts(h), (QStringList{"1", "9600", "-", "0", "DEV9"}));
        QCOMPARE(h.port.commPort(), 1);
        QCOMPARE(h.port.settings(), QStringLiteral("9600,N,8,1"));
        QCOMPARE(h.form->Settings.ucApp, QStringLiteral("DEV9"));
        QVERIFY(h.c().frmSet->isHidden());
        QVERIFY(h.boxes.shown.isEmpty());
    }

    void labelsAndSampleTimeComeBackFromTheFile()
    {
        FormHarness h(kOwnFile);
        h.form->cmdSet_Click();
        h.c().txtTempName[1]->setText(QStringLiteral("Fan"));
        h.form->cmdExit_Click();
        // STime and labels 2 to 4 cannot be edited, yet survive the save.
        QCOMPARE(h.iniBytes(), QByteArray("2,\"19200\",\"pw\",5,\"DUTY01\"\r\n\"Fan\",\"Lab 2\",\"x,y\",\"z\"\r\n"));
        QCOMPARE(h.c().lblTempName[1]->text(), QStringLiteral("Fan"));
        QCOMPARE(h.c().lblTempName[3]->text(), QStringLiteral("x,y"));
    }

    void unsavableBoxIsRefusedBeforeAnythingChanges_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withFile");
        QTest::addRow("COM box holding abc") << "COM" << "abc" << true;
        QTest::addRow("COM box holding 40000") << "COM" << "40000" << false;
        QTest::addRow("STime box holding x") << "STime" << "x" << true;
        QTest::addRow("a double quote in the Baud box") << "Baud" << "96\"00" << false;
        QTest::addRow("a double quote in the DevPas box") << "DevPas" << "p\"w" << true;
        QTest::addRow("a double quote in the ucApp box") << "ucApp" << "\"DUTY01\"" << false;
        QTest::addRow("a double quote in the MyLabel1 box") << "MyLabel1" << "5\" fan" << true;
        QTest::addRow("a line break in the MyLabel1 box") << "MyLabel1" << "a\nb" << false;
    }
    void unsavableBoxIsRefusedBeforeAnythingChanges()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(bool, withFile);
        FormHarness h(withFile ? kOwnFile : QByteArray());
        h.identify();
        h.form->cmdSet_Click();
        boxNamed(h, box)->setText(text);
        const SettingsRecord before = h.form->Settings;
        h.port.clearCalls();
        h.form->cmdExit_Click();
        QCOMPARE(h.boxes.shown.size(), 1);
        QCOMPARE(h.boxes.shown[0].title, QStringLiteral("Settings not saved"));
        QVERIFY2(h.boxes.shown[0].prompt.contains(QStringLiteral("The %1 box").arg(box)),
                 qPrintable(h.boxes.shown[0].prompt));
        QVERIFY(!h.c().frmSet->isHidden());
        if (withFile)
            QCOMPARE(h.iniBytes(), kOwnFile);
        else
            QVERIFY(!QFile::exists(h.iniPath()));
        QVERIFY(h.port.portOpen());
        QVERIFY(h.port.calls().isEmpty());
        QVERIFY(!h.form->Timer1.isActive());
        QCOMPARE(h.status(), QStringLiteral("Found: DUTY01"));
        QCOMPARE(boxNamed(h, box)->text(), text);
        QVERIFY(h.form->Settings == before);
    }

    void unwritableFileKeepsTheOldOne()
    {
        FormHarness h(kOwnFile);
        h.identify();
        h.form->cmdSet_Click();
        h.c().txtSet1[1]->setText(QStringLiteral("3"));

        const QString folder = h.dir.path();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                  QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        QFile probe(h.dir.filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            // Running as root, where permissions stop nothing: aim the save below a regular file.
            probe.close();
            probe.remove();
            QFile notAFolder(h.dir.filePath(QStringLiteral("not-a-folder")));
            QVERIFY(notAFolder.open(QIODevice::WriteOnly));
            h.form->SettingsPath = notAFolder.fileName() + QStringLiteral("/pwm-panel.ini");
        }

        h.port.clearCalls();
        h.form->cmdExit_Click();
        QCOMPARE(h.boxes.shown.size(), 1);
        QCOMPARE(h.boxes.shown[0].title, QStringLiteral("Settings not saved"));
        const QString prompt = h.boxes.shown[0].prompt;
        // Names the file, and the system's reason follows it.
        const QString afterPath = prompt.section(h.form->SettingsPath, 1);
        QVERIFY2(prompt.contains(h.form->SettingsPath) && afterPath.contains(QStringLiteral(": ")) &&
                     !afterPath.section(QStringLiteral(": "), -1).trimmed().isEmpty(),
                 qPrintable(prompt));
        QCOMPARE(h.iniBytes(), kOwnFile);
        QVERIFY(!h.c().frmSet->isHidden());
        QVERIFY(h.port.portOpen());
        QVERIFY(h.port.calls().isEmpty());
        QCOMPARE(h.form->Settings.CommPort, 2);
        QVERIFY(!h.form->Timer1.isActive());
    }

    void ownDeviceCodeFromTheFileIdentifies()
    {
        FormHarness h("1,\"9600\",\"-\",0,\"DEV7\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n");
        h.identify(QByteArrayLiteral("DUTY01"));
        QCOMPARE(h.port.writes().first(), QByteArray("I?\r"));
        QVERIFY(h.form->Timer1.isActive());
        QVERIFY(!h.form->Timer2.isActive());
        QVERIFY(!h.status().startsWith(QStringLiteral("Found")));
        h.port.simulateArrival("DEV7\r");
        QCOMPARE(h.status(), QStringLiteral("Found: DEV7"));
        QVERIFY(!h.form->Timer1.isActive());
        QVERIFY(h.form->Timer2.isActive());
    }
};

QTEST_MAIN(TestSettingsPanel)
#include "tst_settingspanel.moc"
