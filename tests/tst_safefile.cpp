// Files written whole or not at all: what replaces what, what is refused
// before anything is opened, and the reason given.
#include "trend/safefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestSafeFile : public QObject
{
    Q_OBJECT

private slots:
    void writesWholeOrRefuses_data()
    {
        QTest::addColumn<QString>("setup");     // what is at "out" before
        QTest::addColumn<QString>("reason");    // empty: written
        QTest::addColumn<QString>("writtenTo"); // the file holding the bytes; empty: none
        QTest::addRow("a new file") << u"nothing"_s << QString() << u"out"_s;
        QTest::addRow("a regular file, replaced") << u"file"_s << QString() << u"out"_s;
        QTest::addRow("a link to a file: the target, the link kept")
            << u"link to file"_s << QString() << u"target"_s;
        QTest::addRow("a dangling link: its target made") << u"dangling link"_s << QString() << u"target"_s;
        QTest::addRow("a FIFO") << u"fifo"_s << u"it is a device, a FIFO or a socket, not a file"_s
                                << QString();
        QTest::addRow("a link to a character device")
            << u"link to /dev/null"_s << u"it is a device, a FIFO or a socket, not a file"_s << QString();
        QTest::addRow("a folder") << u"folder"_s << u"it is a folder"_s << QString();
        QTest::addRow("a missing folder")
            << u"missing folder"_s << u"No such file or directory"_s << QString();
    }
    void writesWholeOrRefuses()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QFETCH(QString, writtenTo);
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        const QString target = dir.filePath(u"target"_s);
        const auto writeOld = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write("old content, longer than the new") > 0;
        };
        QString path = out;
        if (setup == "file") {
            QVERIFY(writeOld(out));
            QCOMPARE(::chmod(QFile::encodeName(out).constData(), 0640), 0);
        } else if (setup == "link to file") {
            QVERIFY(writeOld(target));
            QVERIFY(QFile::link(target, out));
        } else if (setup == "dangling link") {
            QVERIFY(QFile::link(target, out));
        } else if (setup == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(out).constData(), 0600), 0);
        } else if (setup == "link to /dev/null") {
            QVERIFY(QFile::link(u"/dev/null"_s, out));
        } else if (setup == "folder") {
            QVERIFY(QDir(dir.path()).mkdir(u"out"_s));
        } else if (setup == "missing folder") {
            path = dir.filePath(u"gone/out"_s);
        }
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);

        QCOMPARE(writeFileWhole(path, "new"), reason);

        // Nothing left behind beside it, nothing taken away.
        QStringList after =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (setup == "nothing" || setup == "dangling link")
            after.removeOne(writtenTo);
        QCOMPARE(after, before);
        if (setup.startsWith(u"link") || setup == "dangling link")
            QVERIFY(QFileInfo(out).isSymLink());
        if (writtenTo.isEmpty())
            return;
        QFile written(dir.filePath(writtenTo));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), "new"_ba);
        struct stat mode
        {
        };
        QCOMPARE(::stat(QFile::encodeName(written.fileName()).constData(), &mode), 0);
        if (setup == "file") // a replaced file keeps its mode
            QCOMPARE(mode.st_mode & 07777, 0640u);
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
