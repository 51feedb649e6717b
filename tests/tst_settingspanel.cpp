// The settings panel: opening it, SAVE-CLOSE, what a save refuses, and the reload after it.
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <unistd.h>

namespace {
const QByteArray kOwnFile = "2,\"19200\",\"pw\",5,\"DUTY01\"\r\n\"Duty\",\"Lab 2\",\"x,y\",\"z\"\r\n";

// Identified, Set pressed, a box typed into (COM, Baud, DevPas, STime, ucApp or MyLabel1), SAVE-CLOSE.
void saveAfterTyping(FormHarness &h, const QString &box, const QString &text)
{
    h.identify();
    h.port.calls.clear();
    h.form->cmdSet_Click();
    QVERIFY(!h.c().frmSet->isHidden());
    QCOMPARE(h.running(), u"Timer2"_s); // Set stops the polls only
    const qsizetype i = QStringList{"COM", "Baud", "DevPas", "STime", "ucApp"}.indexOf(box);
    if (!box.isEmpty())
        (i < 0 ? h.c().txtTempName[1] : h.c().txtSet1[i + 1])->setText(text);
    h.form->cmdExit_Click();
}
} // namespace

class TestSettingsPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void saveCloseWritesTheFileAndRestarts_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("box"); // empty: nothing typed
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("saved");
        // clang-format off
        QTest::addRow("the defaults") << QByteArray() << QString() << QString() << iniFile();
        QTest::addRow("a new label; STime and labels 2 to 4 kept") << kOwnFile << "MyLabel1" << "Fan"
            << "2,\"19200\",\"pw\",5,\"DUTY01\"\r\n\"Fan\",\"Lab 2\",\"x,y\",\"z\"\r\n"_ba;
        QTest::addRow("COM 7.5 saves 8") << QByteArray() << "COM" << "7.5" << "8" + iniFile().mid(1);
        QTest::addRow("COM 6.5 saves 6") << QByteArray() << "COM" << "6.5" << "6" + iniFile().mid(1);
        // clang-format on
    }
    void saveCloseWritesTheFileAndRestarts()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QByteArray, saved);
        FormHarness h(ini);
        saveAfterTyping(h, box, typed);
        QCOMPARE(h.iniBytes(), saved);
        QVERIFY(h.boxes.shown.isEmpty() && h.c().frmSet->isHidden());
        const QString port = QString::fromLatin1(saved.first(1));
        QCOMPARE(h.port.calls.mid(0, 2), (QStringList{"Close", "CommPort " + port})); // closed, then reloaded
        QCOMPARE(h.c().txtSet1[1]->text(), port);
        QCOMPARE(h.c().lblTempName[1]->text(), box == u"MyLabel1" ? typed : h.form->Settings.MyLabels[1]);
        QCOMPARE(h.status(), u"wait..."_s);
        QVERIFY(h.form->Timer1.isActive());
    }

    void aRefusedBaudIsSavedButTheReloadFallsBack()
    {
        FormHarness h;
        h.form->cmdSet_Click();
        h.c().txtSet1[1]->setText(u"2"_s);
        h.c().txtSet1[2]->setText(u"96OO"_s);
        h.c().txtSet1[5]->setText(u"DEV9"_s);
        h.port.failures[u"Settings"_s] = SerialErrors::BadSettings; // at the reload
        h.form->cmdExit_Click();
        QCOMPARE(h.iniBytes(), "2,\"96OO\",\"-\",0,\"DEV9\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n"_ba);
        QStringList boxes;
        for (int i = 1; i <= 5; ++i)
            boxes << h.c().txtSet1[i]->text();
        QCOMPARE(boxes, (QStringList{"1", "9600", "-", "0", "DEV9"}));
        QCOMPARE(h.port.settings(), u"9600,N,8,1"_s);
    }

    void anUnsavableBoxIsRefusedBeforeAnythingChanges_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("ini");
        // clang-format off
        QTest::addRow("COM holding abc") << "COM" << "abc" << kOwnFile;
        QTest::addRow("COM holding 40000") << "COM" << "40000" << QByteArray();
        QTest::addRow("STime holding x") << "STime" << "x" << kOwnFile;
        QTest::addRow("a double quote in Baud") << "Baud" << "96\"00" << QByteArray();
        QTest::addRow("a double quote in DevPas") << "DevPas" << "p\"w" << kOwnFile;
        QTest::addRow("a double quote in ucApp") << "ucApp" << "\"DUTY01\"" << QByteArray();
        QTest::addRow("a double quote in MyLabel1") << "MyLabel1" << "5\" fan" << kOwnFile;
        QTest::addRow("a line break in MyLabel1") << "MyLabel1" << "a\nb" << QByteArray();
        // clang-format on
    }
    void anUnsavableBoxIsRefusedBeforeAnythingChanges()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QByteArray, ini);
        FormHarness h(ini);
        const SettingsRecord before = h.form->Settings;
        saveAfterTyping(h, box, text);
        QCOMPARE(h.boxes.shown.value(0).value(2), u"Settings not saved"_s);
        QVERIFY2(h.boxes.shown[0][0].contains("The " + box + " box"), qPrintable(h.boxes.shown[0][0]));
        QCOMPARE(h.iniBytes(), ini);
        QVERIFY(h.port.calls.isEmpty() && !h.c().frmSet->isHidden());
        QCOMPARE(h.status(), u"Found: DUTY01"_s);
        QVERIFY(h.form->Settings == before);
    }

    void anUnwritableFileKeepsTheOldOne()
    {
        FormHarness h(kOwnFile);
        QFile notAFolder(h.dir.filePath(u"not-a-folder"_s)); // nothing can be written below it, even by root
        QVERIFY(notAFolder.open(QIODevice::WriteOnly));
        h.form->SettingsPath = notAFolder.fileName() + "/pwm-panel.ini";
        saveAfterTyping(h, u"COM"_s, u"3"_s);
        QCOMPARE(h.boxes.shown.value(0).value(2), u"Settings not saved"_s);
        const QString prompt = h.boxes.shown[0][0]; // names the file and the system's reason
        QVERIFY2(prompt.contains(h.form->SettingsPath) && !prompt.section(u": "_s, 1).trimmed().isEmpty(),
                 qPrintable(prompt));
        QCOMPARE(h.iniBytes(), kOwnFile);
        QVERIFY(h.port.calls.isEmpty() && !h.c().frmSet->isHidden());
        QCOMPARE(h.form->Settings.CommPort, 2);
    }

    // Whatever a file holds, a load gives the defaults (ucApp aside) or what
    // it could read, and never touches the file.
    void aBadFileLoadsSafelyAndStaysAsItWas_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("boxes"); // COM, Baud, DevPas, STime, ucApp after the load
        const QStringList defaults{"1", "9600", "-", "0", "DUTY01"};
        QTest::addRow("empty") << ""_ba << defaults;
        QTest::addRow("truncated") << "3,\"192"_ba << defaults;
        QTest::addRow("only the first line")
            << "3,\"19200\",\"pw\",5,\"MINE\"\r\n"_ba << QStringList{"1", "9600", "-", "0", "MINE"};
        QTest::addRow("a refused port number")
            << "300,\"19200\",\"pw\",5,\"MINE\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n"_ba
            << QStringList{"1", "9600", "-", "0", "MINE"};
        QTest::addRow("binary junk") << "\x00\xff\xfe\x01,\"\x80\x81\r\n\x00"_ba << defaults;
        QTest::addRow("not UTF-8") << "3,\"19200\",\"p\xe4ss\",5,\"DUTY01\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n"_ba
                                   << QStringList{"3", "19200", u"p\u00e4ss"_s, "5", "DUTY01"};
        QByteArray huge = "3,\"19200\",\"pw\",5,\"BIG\"\r\n\""_ba;
        huge += QByteArray(10 << 20, '#');
        QTest::addRow("10 MB") << huge << QStringList{"1", "9600", "-", "0", "BIG"};
    }
    void aBadFileLoadsSafelyAndStaysAsItWas()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, boxes);
        FormHarness h(ini);
        const QDateTime written = QFileInfo(h.iniPath()).lastModified();
        QStringList shown;
        for (int i = 1; i <= 5; ++i)
            shown << h.c().txtSet1[i]->text();
        QCOMPARE(shown, boxes);
        h.form->StartConnectionCycle(); // loads again
        QCOMPARE(h.iniBytes(), ini);
        QCOMPARE(QFileInfo(h.iniPath()).lastModified(), written);
        QVERIFY(h.boxes.shown.isEmpty());
    }

    // A folder where the file should be: the defaults, and a save says why it failed.
    void aFolderInPlaceOfTheFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"pwm-panel.ini"_s));
        FakeSerialPort port(dir.path());
        ScriptedMessageBoxes boxes;
        MainForm form(port, boxes, ExecutableInfo{dir.path(), u"pwm-panel"_s}, [] {});
        QCOMPARE(form.controls().txtSet1[2]->text(), u"9600"_s);
        form.cmdSet_Click();
        form.cmdExit_Click();
        QCOMPARE(boxes.shown.value(0).value(2), u"Settings not saved"_s);
        QVERIFY(QFileInfo(dir.filePath(u"pwm-panel.ini"_s)).isDir());
        QVERIFY(!form.controls().frmSet->isHidden());
    }

    // A file of the user's in a folder that is not: it stays whole, the reason is shown.
    void aSaveIntoAReadOnlyFolderKeepsTheOldFile()
    {
        if (::geteuid() == 0)
            QSKIP("root may write any folder");
        FormHarness h(kOwnFile);
        QFile::setPermissions(h.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(h.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        QCOMPARE(h.form->SettingsPath, h.iniPath()); // the file exists, so it is used where it is
        saveAfterTyping(h, u"COM"_s, u"3"_s);
        QCOMPARE(h.boxes.shown.value(0).value(2), u"Settings not saved"_s);
        QVERIFY2(h.boxes.shown[0][0].contains(h.iniPath()), qPrintable(h.boxes.shown[0][0]));
        QCOMPARE(h.iniBytes(), kOwnFile);
        QVERIFY(!h.c().frmSet->isHidden());
    }

    // A system-wide install: the folder of the executable is not the user's.
    void aReadOnlyProgramFolderKeepsSettingsInTheConfigFolder()
    {
        if (::geteuid() == 0)
            QSKIP("root may write any folder");
        QTemporaryDir exeDir, home;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        QFile::setPermissions(exeDir.path(), QFile::ReadOwner | QFile::ExeOwner);
        {
            FakeSerialPort port(exeDir.path());
            ScriptedMessageBoxes boxes;
            MainForm form(port, boxes, ExecutableInfo{exeDir.path(), u"PANEL2"_s}, [] {});
            const QString expected =
                QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + u"/PANEL2.ini"_s;
            QVERIFY2(expected.startsWith(home.path()), qPrintable(expected));
            QCOMPARE(form.SettingsPath, expected);
            form.cmdSet_Click();
            form.controls().txtSet1[1]->setText(u"4"_s);
            form.cmdExit_Click();
            QVERIFY(boxes.shown.isEmpty());
            QVERIFY(QFile::exists(expected));
            QCOMPARE(form.controls().txtSet1[1]->text(), u"4"_s); // read back from there
        }
        QFile::setPermissions(exeDir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_MAIN(TestSettingsPanel)
#include "tst_settingspanel.moc"
