// The folder and name the program was started as decide its settings file and port links.
#include "settings/executableinfo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestExecutableInfo : public QObject
{
    Q_OBJECT

private slots:
    void nameAndFolderComeFromHowItWasStarted_data()
    {
        QTest::addColumn<QString>("argv0");
        QTest::addColumn<QString>("pathEnv");
        QTest::addColumn<QString>("dir"); // relative to the temporary folder
        QTest::addColumn<QString>("name");
        // clang-format off
        QTest::addRow("an absolute path") << "@/bin/pwm-panel" << "" << "bin" << "pwm-panel";
        QTest::addRow("a path relative to the working folder") << "bin/pwm-panel" << "" << "bin" << "pwm-panel";
        QTest::addRow("a symlink keeps its own name and folder") << "@/links/PUMP2" << "" << "links" << "PUMP2";
        QTest::addRow("a bare name found through PATH") << "PUMP2" << "@/nowhere:@/links" << "links" << "PUMP2";
        QTest::addRow("a PATH hit that is another program") << "pwm-panel" << "@/other" << "bin" << "pwm-panel";
        QTest::addRow("a bare name not on PATH") << "PUMP2" << "" << "bin" << "pwm-panel";
        QTest::addRow("a final .exe is not part of the name") << "@/bin/PANEL2.EXE" << "" << "bin" << "PANEL2";
        QTest::addRow("other dots are") << "@/bin/PUMP.1" << "" << "bin" << "PUMP.1";
        // clang-format on
    }
    void nameAndFolderComeFromHowItWasStarted()
    {
        QFETCH(QString, argv0);
        QFETCH(QString, pathEnv);
        QFETCH(QString, dir);
        QFETCH(QString, name);
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkpath(QStringLiteral("bin")) &&
                QDir(tmp.path()).mkpath(QStringLiteral("links")) &&
                QDir(tmp.path()).mkpath(QStringLiteral("other")));
        QFile exe(tmp.filePath(QStringLiteral("bin/pwm-panel")));
        QVERIFY(exe.open(QIODevice::WriteOnly));
        exe.close();
        exe.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::copy(exe.fileName(), tmp.filePath(QStringLiteral("bin/PANEL2.EXE")));
        QFile::copy(exe.fileName(), tmp.filePath(QStringLiteral("other/pwm-panel"))); // an installed copy
        QVERIFY(QFile::link(exe.fileName(), tmp.filePath(QStringLiteral("links/PUMP2"))));

        const auto expand = [&](QString s) { return s.replace(QLatin1Char('@'), tmp.path()); };
        // The running program is bin/pwm-panel.
        const ExecutableInfo info =
            ExecutableInfo::fromArgv0(expand(argv0), expand(pathEnv), tmp.path(), exe.fileName());
        QCOMPARE(info.dir, tmp.filePath(dir));
        QCOMPARE(info.baseName, name);
    }
};

QTEST_GUILESS_MAIN(TestExecutableInfo)
#include "tst_executableinfo.moc"
