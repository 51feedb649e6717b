// A user's whole session against the device simulator: found, read back,
// the duty and preset controls, the settings saved, found again.
#include "app/vbcolor.h"
#include "link/qtserialport.h"
#include "tests/testsupport.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString buildDir()
{
    const QString fromEnv = qEnvironmentVariable("PWM_BUILD_DIR");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
}

// What went over the wire as the simulator logged it: the commands it received
// ("< SV01=50", cut at the CR) and the port being opened and closed.
QStringList wireEvents(const QString &logPath)
{
    QFile f(logPath);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList events;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space <= 0)
            continue;
        const QString entry = QString::fromLatin1(line.mid(space + 1));
        if (entry.startsWith(QLatin1String("< ")) || entry.startsWith(QLatin1String("* other side ")))
            events.append(entry);
    }
    return events;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStringLiteral("Fusion")); }

    void userSession()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString log = dir.filePath(QStringLiteral("device.log"));

        const QString simulatorPath = buildDir() + QStringLiteral("/pwm-device-sim");
        QVERIFY2(QFileInfo(simulatorPath).isExecutable(),
                 qPrintable(QStringLiteral("no simulator at ") + simulatorPath));
        QProcess simulator;
        simulator.setProgram(simulatorPath);
        simulator.setArguments({QStringLiteral("--link"), dir.path(), QStringLiteral("--log"), log,
                                QStringLiteral("--duty"), QStringLiteral("20"), QStringLiteral("--preset"),
                                QStringLiteral("5"), QStringLiteral("--exit-with"),
                                QString::number(QCoreApplication::applicationPid())});
        auto stopSimulator = qScopeGuard([&] {
            if (simulator.state() == QProcess::NotRunning)
                return;
            simulator.terminate();
            if (!simulator.waitForFinished(5000)) {
                simulator.kill();
                simulator.waitForFinished(5000);
            }
        });
        simulator.start();
        QVERIFY2(simulator.waitForStarted(5000), qPrintable(simulator.errorString()));
        // The link exists once the port path is printed.
        const QDeadlineTimer deadline(10000);
        while (!simulator.canReadLine() && simulator.state() == QProcess::Running && !deadline.hasExpired())
            simulator.waitForReadyRead(100);
        if (!simulator.canReadLine()) {
            simulator.waitForFinished(1000);
            const QString err = QString::fromLocal8Bit(simulator.readAllStandardError()).trimmed();
            if (err.contains(QStringLiteral("openpty")))
                QSKIP(qPrintable(QStringLiteral("no pseudo-terminal: ") + err));
            QFAIL(qPrintable(QStringLiteral("simulator gave no port: ") + err));
        }
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("com1"))).isSymLink());

        QtSerialPort port(dir.path());
        ScriptedMessageBoxes boxes;
        int endCalls = 0;
        MainForm form(port, boxes, ExecutableInfo{dir.path(), QStringLiteral("pwm-panel")}, [&] {
            ++endCalls;
            throw ProgramEnded{};
        });
        const MainFormControls &c = form.controls();
        auto status = [&] { return c.lblStatus->text(); };
        auto statusColor = [&] { return c.lblStatus->palette().color(QPalette::Window); };
        const QColor highlight = vbColor(VbColor::Highlight);
        const QColor face = vbColor(VbColor::ButtonFace);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        // Found (the first tick pressed at once rather than waited for).
        form.Timer1_Timer();
        QTRY_COMPARE(status(), QStringLiteral("Found: DUTY01"));
        QCOMPARE(statusColor(), vbColor(VbColor::Green));
        QCOMPARE(c.lblDevCode->text(), QStringLiteral("Kestravon: uc=DUTY01  pc=pwm-panel"));

        // The read-backs show the device's duty and preset.
        QTRY_COMPARE(c.lblTemp[1]->text(), QStringLiteral("20"));
        QTRY_COMPARE(buttonBackColor(c.cmdFpwm[5]), highlight);
        QTRY_VERIFY(!form.Timer2.isActive());
        QVERIFY(c.frmTemp1->isEnabled());

        // 50 %
        form.cmd50P_Click();
        QTRY_COMPARE(c.lblTemp[1]->text(), QStringLiteral("50"));

        // Preset 3: the device's answer moves the highlight.
        form.cmdFpwm_Click(3);
        QTRY_COMPARE(buttonBackColor(c.cmdFpwm[3]), highlight);
        for (int i = 1; i <= 7; ++i) {
            if (i != 3)
                QCOMPARE(buttonBackColor(c.cmdFpwm[i]), face);
        }

        // A typed duty.
        c.txtSV01->setText(QStringLiteral("37"));
        form.cmdSV01_Click();
        QTRY_COMPARE(c.lblTemp[1]->text(), QStringLiteral("37"));
        QCOMPARE(c.txtSV01->text(), QStringLiteral("37"));

        // Set, a new label, SAVE-CLOSE.
        form.cmdSet_Click();
        QVERIFY(c.frmSet->isVisible());
        c.txtTempName[1]->setText(QStringLiteral("Fan A,B"));
        QCOMPARE(c.txtSet1[1]->text(), QStringLiteral("1"));
        form.cmdExit_Click();
        QElapsedTimer sinceSave;
        sinceSave.start();
        QVERIFY(boxes.shown.isEmpty());
        QVERIFY(c.frmSet->isHidden());
        QFile ini(dir.filePath(QStringLiteral("pwm-panel.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(),
                 QByteArray("1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"Fan A,B\",\"Label2\",\"nc\",\"nc\"\r\n"));
        QCOMPARE(status(), QStringLiteral("wait..."));
        QCOMPARE(statusColor(), vbColor(VbColor::LightYellow));
        QCOMPARE(c.lblTempName[1]->text(), QStringLiteral("Fan A,B"));
        QVERIFY(!port.portOpen());

        // Found again on the next identification tick.
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Found: DUTY01"), 6000);
        QVERIFY2(sinceSave.elapsed() >= 2300,
                 qPrintable(QStringLiteral("found %1 ms after the save").arg(sinceSave.elapsed())));
        QCOMPARE(statusColor(), vbColor(VbColor::Green));
        QTRY_VERIFY(!form.Timer2.isActive());

        const QStringList expected = {
            QStringLiteral("* other side opened the port"),
            QStringLiteral("< I?"),
            QStringLiteral("< SV01?"),
            QStringLiteral("< SV02?"),
            QStringLiteral("< SV01=50"),
            QStringLiteral("< PV1?"),
            QStringLiteral("< SV02=3"),
            QStringLiteral("< SV01=37"),
            QStringLiteral("* other side closed the port"),
            QStringLiteral("* other side opened the port"),
            QStringLiteral("< I?"),
            QStringLiteral("< SV01?"),
            QStringLiteral("< SV02?"),
        };
        QTRY_COMPARE(wireEvents(log), expected);
        QVERIFY(boxes.shown.isEmpty());
        QCOMPARE(endCalls, 0);
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
