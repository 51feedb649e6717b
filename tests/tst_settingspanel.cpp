// Saving the settings panel: what a save writes, what it refuses, and the reload after it.
#include "sessionharness.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <unistd.h>

namespace {
const QByteArray kOwnFile = "2,\"19200\",\"pw\",5,\"DUTY01\"\r\n\"Duty\",\"Lab 2\",\"x,y\",\"z\"\r\n";

// The texts the panel shows for the current settings.
SettingsTexts shownTexts(const SettingsRecord &s)
{
    return {QString::number(s.portNumber), s.baudRate,   s.password,
            QString::number(s.sampleTime), s.deviceCode, s.labels[0]};
}

// Identified, the panel opened, one box typed into (COM, Baud, DevPas, STime, ucApp or MyLabel1), saved.
bool saveAfterTyping(SessionHarness &h, const QString &box, const QString &text)
{
    h.identify();
    h.port.calls.clear();
    h.session->pauseSampling();
    SettingsTexts texts = shownTexts(h.screen.settings);
    QString *const boxes[] = {&texts.portNumber, &texts.baudRate,   &texts.password,
                              &texts.sampleTime, &texts.deviceCode, &texts.label1};
    const qsizetype i = QStringList{"COM", "Baud", "DevPas", "STime", "ucApp", "MyLabel1"}.indexOf(box);
    if (i >= 0)
        *boxes[i] = text;
    return h.session->saveSettings(texts);
}

QStringList shownBoxes(const Screen &screen)
{
    const SettingsTexts t = shownTexts(screen.settings);
    return {t.portNumber, t.baudRate, t.password, t.sampleTime, t.deviceCode};
}
} // namespace

class TestSettingsPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void startsWaitingWithTheSettingsShown_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("shown"); // the five boxes and the fourth label
        // clang-format off
        QTest::addRow("no file") << QByteArray() << QStringList{"1", "9600", "-", "0", "DUTY01", "nc"};
        QTest::addRow("a file") << "3,\"19200\",\"pw\",5,\"DEV7\"\r\n\"a\",\"b\",\"c\",\"<b>d\"\r\n"_ba
                                << QStringList{"3", "19200", "pw", "5", "DEV7", "<b>d"};
        // clang-format on
    }
    void startsWaitingWithTheSettingsShown()
    {
        QFETCH(QByteArray, ini);
        SessionHarness h(ini, u"PANEL2"_s);
        QCOMPARE(h.status(), u"wait..."_s);
        QCOMPARE(h.tone(), StatusTone::Searching);
        QCOMPARE(h.session->state(), DeviceSession::State::Searching);
        QTEST(shownBoxes(h.screen) << h.screen.settings.labels[3], "shown");
        QCOMPARE(QFile::exists(h.iniPath()), !ini.isNull()); // the defaults are not written out
        QVERIFY(!h.screen.panelEnabled);
    }

    void savingWritesTheFileAndRestarts_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("box"); // empty: nothing typed
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("saved");
        // clang-format off
        QTest::addRow("the defaults") << QByteArray() << QString() << QString() << iniFile();
        QTest::addRow("a new label; sample time and labels 2 to 4 kept") << kOwnFile << "MyLabel1" << "Fan"
            << "2,\"19200\",\"pw\",5,\"DUTY01\"\r\n\"Fan\",\"Lab 2\",\"x,y\",\"z\"\r\n"_ba;
        QTest::addRow("COM 7.5 saves 8") << QByteArray() << "COM" << "7.5" << "8" + iniFile().mid(1);
        QTest::addRow("COM 6.5 saves 6") << QByteArray() << "COM" << "6.5" << "6" + iniFile().mid(1);
        QTest::addRow("a double quote in a label the user cannot edit becomes an apostrophe")
            << "1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"PWM(%):\",5\" fan,nc,nc\r\n"_ba << QString() << QString()
            << "1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"PWM(%):\",\"5' fan\",\"nc\",\"nc\"\r\n"_ba;
        // clang-format on
    }
    void savingWritesTheFileAndRestarts()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QByteArray, saved);
        SessionHarness h(ini);
        QVERIFY(saveAfterTyping(h, box, typed));
        QCOMPARE(h.session->state(), DeviceSession::State::Searching);
        QCOMPARE(h.iniBytes(), saved);
        QVERIFY(h.prompts.refusals.isEmpty());
        QCOMPARE(h.port.calls, QStringList{"Close"}); // closed, then reloaded
        const QString port = QString::fromLatin1(saved.first(1));
        QCOMPARE(shownBoxes(h.screen).value(0), port);
        QCOMPARE(h.screen.settings.labels[0], box == u"MyLabel1" ? typed : h.session->settings().labels[0]);
        QCOMPARE(h.status(), u"wait..."_s);
        h.tick(SessionTimer::Search);
        QCOMPARE(h.port.calls.value(1), u"Open %1 %2"_s.arg(port, h.screen.settings.baudRate));
    }

    // The connection's timers end with it: nothing of the old connection is
    // written after a save, so no error box follows it.
    void aSaveRightAfterIdentificationWritesNothingAfterIt()
    {
        using namespace std::chrono_literals;
        SessionHarness h(iniFile(1), u"pwm-panel"_s,
                         ticksByHand({SessionTimer::Search, SessionTimer::ResponseTimeout},
                                     SessionSchedule{1h, 1h, 40ms, 50ms}));
        h.identify();
        h.port.writes.clear();
        QVERIFY(h.session->saveSettings(shownTexts(h.screen.settings)));
        QTest::qWait(300); // several read-back and sample ticks of the old schedule
        QCOMPARE(h.port.writes, QByteArrayList());
        QCOMPARE(h.prompts.noResponseAsked, 0);
    }

    void anUnsavableBoxIsRefusedBeforeAnythingChanges_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("ini");
        // clang-format off
        QTest::addRow("COM holding abc") << "COM" << "abc" << kOwnFile;
        QTest::addRow("COM holding 40000") << "COM" << "40000" << QByteArray();
        QTest::addRow("COM 300: a number, but no port") << "COM" << "300" << kOwnFile;
        QTest::addRow("COM 0") << "COM" << "0" << QByteArray();
        QTest::addRow("a mistyped baud rate") << "Baud" << "96x0" << kOwnFile;
        QTest::addRow("a baud rate of 0") << "Baud" << "0" << QByteArray();
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
        SessionHarness h(ini);
        const SettingsRecord before = h.session->settings();
        QVERIFY(!saveAfterTyping(h, box, text));
        QCOMPARE(h.prompts.refusals.size(), 1);
        QVERIFY2(h.prompts.refusals[0].contains("The " + box + " box"), qPrintable(h.prompts.refusals[0]));
        QCOMPARE(h.iniBytes(), ini);
        QVERIFY(h.port.calls.isEmpty());
        QCOMPARE(h.status(), u"Found: DUTY01"_s);
        QVERIFY(h.session->settings() == before);
    }

    // Whatever a file holds, a load gives the defaults (the device code aside)
    // or what it could read, and never touches the file.
    void aBadFileLoadsSafelyAndStaysAsItWas_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("boxes"); // COM, Baud, DevPas, STime, ucApp after the load
        const QStringList defaults{"1", "9600", "-", "0", "DUTY01"};
        QTest::addRow("empty") << ""_ba << defaults;
        QTest::addRow("truncated") << "3,\"192"_ba << defaults;
        QTest::addRow("only the first line")
            << "3,\"19200\",\"pw\",5,\"MINE\"\r\n"_ba << QStringList{"1", "9600", "-", "0", "MINE"};
        QTest::addRow("a baud rate the port cannot use")
            << "3,\"96x0\",\"pw\",5,\"MINE\"\r\n\"a\",\"b\",\"c\",\"d\"\r\n"_ba
            << QStringList{"1", "9600", "-", "0", "MINE"};
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
        SessionHarness h(ini);
        const QDateTime written = QFileInfo(h.iniPath()).lastModified();
        QTEST(shownBoxes(h.screen), "boxes");
        h.restart(); // loads again
        QCOMPARE(h.iniBytes(), ini);
        QCOMPARE(QFileInfo(h.iniPath()).lastModified(), written);
        QVERIFY(h.prompts.refusals.isEmpty());
    }

    // A folder where the file should be: the defaults, and a save names the
    // file and the system's reason and changes nothing.
    void aFolderInPlaceOfTheFile()
    {
        SessionHarness h;
        QVERIFY(QDir(h.dir.path()).mkdir(u"pwm-panel.ini"_s));
        h.restart();
        QCOMPARE(h.screen.settings.baudRate, u"9600"_s);
        QVERIFY(!saveAfterTyping(h, u"COM"_s, u"3"_s));
        const QString why = h.prompts.refusals.value(0);
        QVERIFY2(why.contains(h.iniPath()) && !why.section(u": "_s, 1).trimmed().isEmpty(), qPrintable(why));
        QVERIFY(QFileInfo(h.iniPath()).isDir());
        QVERIFY(h.port.calls.isEmpty());
        QCOMPARE(h.session->settings().portNumber, 1);
    }

    // A file of the user's in a shared folder that is not: written in place
    // when the file itself may be written, otherwise refused and kept whole.
    void aReadOnlyFolderWithTheUsersFile_data()
    {
        QTest::addColumn<bool>("fileWritable");
        QTest::addRow("a writable file is written in place") << true;
        QTest::addRow("a read-only file is refused and kept") << false;
    }
    void aReadOnlyFolderWithTheUsersFile()
    {
        QFETCH(bool, fileWritable);
        if (::geteuid() == 0)
            QSKIP("root may write any folder");
        SessionHarness h(kOwnFile);
        const QFile::Permissions readable =
            QFile::ReadOwner | (fileWritable ? QFile::WriteOwner : QFile::Permissions());
        QFile::setPermissions(h.iniPath(), readable);
        QFile::setPermissions(h.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(h.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        QCOMPARE(h.session->settingsPath(), h.iniPath()); // the file exists, so it is used where it is
        QCOMPARE(saveAfterTyping(h, u"COM"_s, u"3"_s), fileWritable);
        if (fileWritable) {
            QCOMPARE(h.iniBytes(), "3" + kOwnFile.mid(1));
        } else {
            QVERIFY2(h.prompts.refusals.value(0).contains(h.iniPath()),
                     qPrintable(h.prompts.refusals.value(0)));
            QCOMPARE(h.iniBytes(), kOwnFile);
        }
    }

    // A system-wide install: the folder of the executable is not the user's.
    void aReadOnlyProgramFolderKeepsSettingsInTheConfigFolder()
    {
        if (::geteuid() == 0)
            QSKIP("root may write any folder");
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        {
            SessionHarness h({}, u"PANEL2"_s);
            QVERIFY(QFile::link(u"/dev/pts/99"_s, h.dir.filePath(u"com1"_s))); // a shared program folder's
            QFile::setPermissions(h.dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            const auto restore = qScopeGuard([&] {
                QFile::setPermissions(h.dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            });
            h.restart(u"PANEL2"_s);
            const QString expected =
                QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + u"/PANEL2.ini"_s;
            QVERIFY2(expected.startsWith(home.path()), qPrintable(expected));
            QCOMPARE(h.session->settingsPath(), expected);
            h.tick(SessionTimer::Search);
            QCOMPARE(h.port.devices.last(), u"/dev/pts/99"_s); // the link beside the program, not ttyS0
            SettingsTexts texts = shownTexts(h.screen.settings);
            texts.portNumber = u"4"_s;
            QVERIFY(h.session->saveSettings(texts));
            QVERIFY(QFile::exists(expected));
            QCOMPARE(h.screen.settings.portNumber, 4); // read back from there
        }
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_GUILESS_MAIN(TestSettingsPanel)
#include "tst_settingspanel.moc"
