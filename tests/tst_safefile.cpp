// Files written whole or not at all (Export CSV, Save image) and the file a
// recording appends to: what each writes to, what both refuse before
// anything is opened, and the reason given. One table for both.
#include "trend/recorder.h"
#include "trend/safefile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr uid_t kNobody = 65534;
constexpr auto kDeviceOrFifo = "it is a device, a FIFO or a socket, not a file";

// A socket bound at path (closed again: the name stays).
bool makeSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::copy(name.cbegin(), name.cend(), address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

QStringList entries(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A FIFO opened for writing waits for a reader: a test that waits there ends
// here instead of at the test runner's time-out.
struct Watchdog
{
    Watchdog() { ::alarm(20); }
    ~Watchdog() { ::alarm(0); }
};

} // namespace

class TestSafeFile : public QObject
{
    Q_OBJECT

    // What is at "out" before, made in dir; the path to write to.
    static QString prepare(const QString &setup, const QTemporaryDir &dir)
    {
        const QString out = dir.filePath(u"out"_s);
        const QString target = dir.filePath(u"target"_s);
        const auto writeOld = [](const QString &path) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write("old content, longer than the new") > 0;
        };
        bool made = true;
        if (setup == "file") {
            made = writeOld(out) && ::chmod(QFile::encodeName(out).constData(), 0640) == 0;
        } else if (setup == "another user's file") {
            made = writeOld(out) && ::chown(QFile::encodeName(out).constData(), kNobody, kNobody) == 0;
        } else if (setup == "link to file") {
            made = writeOld(target) && QFile::link(target, out);
        } else if (setup == "dangling link") {
            made = QFile::link(target, out);
        } else if (setup == "fifo") {
            made = ::mkfifo(QFile::encodeName(out).constData(), 0600) == 0;
        } else if (setup == "link to fifo") {
            made = ::mkfifo(QFile::encodeName(target).constData(), 0600) == 0 && QFile::link(target, out);
        } else if (setup == "link to /dev/null") {
            made = QFile::link(u"/dev/null"_s, out);
        } else if (setup == "socket") {
            made = makeSocket(out);
        } else if (setup == "folder") {
            made = QDir(dir.path()).mkdir(u"out"_s);
        } else if (setup == "missing folder") {
            return dir.filePath(u"gone/out"_s);
        }
        if (!made)
            qFatal("cannot make %s", qPrintable(setup));
        return out;
    }

    // The file holding what was written: its bytes, mode and owner as asked.
    static void checkWritten(const QString &setup, const QString &path, const QByteArray &bytes)
    {
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), bytes);
        struct stat mode
        {
        };
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &mode), 0);
        if (setup == "file") // a replaced file keeps its mode
            QCOMPARE(mode.st_mode & 07777, 0640u);
        if (setup == "another user's file") {
            QCOMPARE(mode.st_uid, kNobody);
            QCOMPARE(mode.st_gid, gid_t(kNobody));
        }
    }

private slots:
    void writesWholeOrRefuses_data()
    {
        QTest::addColumn<QString>("setup");     // what is at "out" before
        QTest::addColumn<QString>("reason");    // empty: written
        QTest::addColumn<QString>("writtenTo"); // the file holding the bytes; empty: none
        QTest::addRow("a new file") << u"nothing"_s << QString() << u"out"_s;
        QTest::addRow("a regular file, replaced") << u"file"_s << QString() << u"out"_s;
        QTest::addRow("another user's file keeps its owner and group")
            << u"another user's file"_s << QString() << u"out"_s;
        QTest::addRow("a link to a file: the target, the link kept")
            << u"link to file"_s << QString() << u"target"_s;
        QTest::addRow("a dangling link: its target made") << u"dangling link"_s << QString() << u"target"_s;
        QTest::addRow("a FIFO") << u"fifo"_s << QString(kDeviceOrFifo) << QString();
        QTest::addRow("a link to a FIFO") << u"link to fifo"_s << QString(kDeviceOrFifo) << QString();
        QTest::addRow("a link to a character device")
            << u"link to /dev/null"_s << QString(kDeviceOrFifo) << QString();
        QTest::addRow("a socket") << u"socket"_s << QString(kDeviceOrFifo) << QString();
        QTest::addRow("a folder") << u"folder"_s << u"it is a folder"_s << QString();
        QTest::addRow("a missing folder")
            << u"missing folder"_s << u"No such file or directory"_s << QString();
    }
    void writesWholeOrRefuses()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QFETCH(QString, writtenTo);
        if (setup == "another user's file" && ::geteuid() != 0)
            QSKIP("only root may give a file to another user");
        QTemporaryDir dir;
        const QString path = prepare(setup, dir);
        const QStringList before = entries(dir);

        const Watchdog watchdog;
        QCOMPARE(writeFileWhole(path, "new"), reason);

        // Nothing left behind beside it, nothing taken away.
        QStringList after = entries(dir);
        if (setup == "nothing" || setup == "dangling link")
            after.removeOne(writtenTo);
        QCOMPARE(after, before);
        if (setup.startsWith(u"link") || setup == "dangling link")
            QVERIFY(QFileInfo(dir.filePath(u"out"_s)).isSymLink());
        if (!writtenTo.isEmpty())
            checkWritten(setup, dir.filePath(writtenTo), "new");
    }

    // Ctrl+R's file: the same targets written to or refused, never waiting.
    void recordsWhereExportWrites_data() { writesWholeOrRefuses_data(); }
    void recordsWhereExportWrites()
    {
        QFETCH(QString, setup);
        QFETCH(QString, reason);
        QFETCH(QString, writtenTo);
        if (setup == "another user's file" && ::geteuid() != 0)
            QSKIP("only root may give a file to another user");
        QTemporaryDir dir;
        const QString path = prepare(setup, dir);
        const QStringList before = entries(dir);
        Recorder recorder;
        QSignalSpy failed(&recorder, &Recorder::failed);

        const Watchdog watchdog;
        QCOMPARE(recorder.start(path), reason.isEmpty());
        QCOMPARE(recorder.isRecording(), reason.isEmpty());
        if (!reason.isEmpty()) {
            QCOMPARE(failed.size(), 1);
            QCOMPARE(failed[0][1].toString(), reason);
            QCOMPARE(entries(dir), before);
            return;
        }
        recorder.stop();
        if (setup.startsWith(u"link") || setup == "dangling link")
            QVERIFY(QFileInfo(dir.filePath(u"out"_s)).isSymLink());
        checkWritten(setup, dir.filePath(writtenTo), "time,elapsed_s,direction,text,name,value\r\n");
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
