// The port chooser's ground: what the listing says of each port (from fake
// facts and temporary folders), binding com<N>, and the port watcher
// following ports and lock files.
#include "link/portbinding.h"
#include "link/portlisting.h"
#include "link/portwatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

using namespace Qt::StringLiterals;
Q_DECLARE_METATYPE(PortRow::State)

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size()))
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

// A fake machine: device nodes as plain files, and the folders the listing reads.
struct Machine
{
    QTemporaryDir root;
    QString path(const QString &name) const { return root.filePath(name); }
    QString dev(const QString &name) const { return path(u"dev/"_s + name); }
    PortPlaces places() const
    {
        return {{path(u"by-id"_s), path(u"by-path"_s)}, {path(u"lock"_s)}, path(u"proc"_s)};
    }
    QString addDevice(const QString &name)
    {
        writeFile(dev(name), {});
        return dev(name);
    }
    void link(const QString &target, const QString &at) const
    {
        QDir().mkpath(QFileInfo(path(at)).absolutePath());
        QVERIFY(QFile::link(target, path(at)));
    }
};

PortFacts factsOf(const QString &device, bool unlisted = false)
{
    PortFacts facts;
    facts.device = device;
    facts.unlisted = unlisted;
    return facts;
}

} // namespace

class TestPortListing : public QObject
{
    Q_OBJECT

private slots:
    void stableNamesAndOrder()
    {
        Machine m;
        const QString usb0 = m.addDevice(u"ttyUSB0"_s), usb2 = m.addDevice(u"ttyUSB2"_s),
                      usb10 = m.addDevice(u"ttyUSB10"_s);
        m.link(usb0, u"by-path/pci-0:1.0-port0"_s);
        m.link(usb0, u"by-id/usb-FTDI_FT232R_A1-if00-port0"_s);
        m.link(usb2, u"by-path/pci-0:2.0-port0"_s);
        m.link(m.path(u"gone"_s), u"by-id/aaa-dangling"_s);

        // In Qt's order, one device twice (once through an alias).
        const SystemPortLister lister(m.places(), [&] {
            return QList<PortFacts>{factsOf(usb10), factsOf(usb2), factsOf(usb0),
                                    factsOf(m.path(u"by-path/pci-0:2.0-port0"_s))};
        });
        const QList<PortRow> rows = lister.list({});
        QStringList devices, names;
        for (const PortRow &row : rows) {
            devices << row.device;
            names << row.stableName;
        }
        QCOMPARE(devices, (QStringList{usb0, usb2, usb10}));
        QCOMPARE(names, (QStringList{m.path(u"by-id/usb-FTDI_FT232R_A1-if00-port0"_s),
                                     m.path(u"by-path/pci-0:2.0-port0"_s), QString()}));
        QCOMPARE(rows[0].bindTarget(), names[0]);
    }

    void states_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("unlisted");    // a ttyS node Qt left out
        QTest::addColumn<bool>("hardware");    // what the hardware check says
        QTest::addColumn<bool>("denied");      // access() fails with EACCES
        QTest::addColumn<bool>("thisPanel");   // the panel's number names it (through a link)
        QTest::addColumn<QByteArray>("lock");  // its lock file, if any
        QTest::addColumn<QByteArray>("comm");  // proc/4242/comm; null: no process 4242
        QTest::addColumn<bool>("openByOther"); // proc/4343/fd/7 links to it
        QTest::addColumn<PortRow::State>("state");
        QTest::addColumn<QString>("holder");

        using S = PortRow::State;
        const QByteArray none;
        QTest::newRow("free") << u"ttyUSB0"_s << false << true << false << false << none << none << false
                              << S::Free << u""_s;
        QTest::newRow("this panel") << u"ttyUSB0"_s << false << true << false << true << "4242\n"_ba
                                    << "minicom\n"_ba << true << S::ThisPanel << u""_s;
        QTest::newRow("no UART") << u"ttyS7"_s << true << false << true << false << none << none << false
                                 << S::NoHardware << u""_s;
        QTest::newRow("a UART Qt listed")
            << u"ttyS1"_s << false << false << false << false << none << none << false << S::Free << u""_s;
        QTest::newRow("denied") << u"ttyUSB0"_s << false << true << true << false << "4242\n"_ba
                                << "minicom\n"_ba << false << S::NoPermission << u""_s;
        QTest::newRow("lock of a living pid")
            << u"ttyUSB0"_s << false << true << false << false << "      4242\nxyz\n"_ba
            << "minicom\n"_ba << true << S::InUse << u"minicom (pid 4242)"_s;
        QTest::newRow("lock naming its program")
            << u"ttyACM0"_s << false << true << false << false << "4242\npicocom\n"_ba
            << ""_ba << false << S::InUse << u"picocom (pid 4242)"_s;
        QTest::newRow("stale lock") << u"ttyUSB0"_s << false << true << false << false << "4242\n"_ba << none
                                    << false << S::Free << u""_s;
        QTest::newRow("open without a lock") << u"ttyUSB0"_s << false << true << false << false << none
                                             << none << true << S::Busy << u"screen (pid 4343)"_s;
    }

    void states()
    {
        QFETCH(QString, device);
        QFETCH(bool, unlisted);
        QFETCH(bool, hardware);
        QFETCH(bool, denied);
        QFETCH(bool, thisPanel);
        QFETCH(QByteArray, lock);
        QFETCH(QByteArray, comm);
        QFETCH(bool, openByOther);
        QFETCH(PortRow::State, state);
        QFETCH(QString, holder);

        Machine m;
        const QString node = m.addDevice(device);
        if (!lock.isEmpty())
            writeFile(m.path(u"lock/LCK.."_s + device), lock);
        if (!comm.isNull())
            writeFile(m.path(u"proc/4242/comm"_s), comm);
        if (openByOther) {
            writeFile(m.path(u"proc/4343/comm"_s), "screen\n");
            m.link(node, u"proc/4343/fd/7"_s);
        }
        m.link(node, u"com1"_s);
        QStringList checked;
        PortChecks checks{[&](const QString &d) {
                              checked << d;
                              return hardware;
                          },
                          [&](const QString &) { return denied ? EACCES : 0; }};

        const SystemPortLister lister(
            m.places(), [&] { return QList<PortFacts>{factsOf(node, unlisted)}; }, checks);
        const QList<PortRow> rows = lister.list(thisPanel ? m.path(u"com1"_s) : QString());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].state, state);
        QCOMPARE(rows[0].holder, holder);
        QCOMPARE(rows[0].advice.contains(u"dialout"_s), state == PortRow::State::NoPermission);
        QCOMPARE(probeCandidates(rows), state == PortRow::State::Free ? QStringList{node} : QStringList{});
        if (!unlisted) // only nodes Qt left out are opened to look for a UART
            QCOMPARE(checked, QStringList{});
    }

    // The panel's own port and the paths typed before are listed though the system lists neither.
    void thePanelsPortAndPathsTypedBeforeAreListed()
    {
        Machine m;
        const QString pty = m.addDevice(u"pts/3"_s), other = m.addDevice(u"pts/4"_s);
        m.link(pty, u"com1"_s);
        m.link(other, u"ttyV0"_s);
        writeFile(m.path(u"proc/4343/comm"_s), "screen\n");
        m.link(other, u"proc/4343/fd/7"_s);
        const SystemPortLister lister(m.places(), [] { return QList<PortFacts>{}; });
        const QList<PortRow> rows = lister.list(m.path(u"com1"_s), {m.path(u"ttyV0"_s), m.path(u"gone"_s)});
        QStringList shown;
        for (const PortRow &row : rows)
            shown << QFileInfo(row.device).fileName() + u' ' + QString::number(int(row.state)) + u' ' +
                         QFileInfo(row.bindTarget()).fileName() + u' ' + row.holder;
        using S = PortRow::State;
        QCOMPARE(shown, (QStringList{u"3 %1 3 "_s.arg(int(S::ThisPanel)),
                                     u"4 %1 ttyV0 screen (pid 4343)"_s.arg(int(S::Busy)),
                                     u"gone %1 gone "_s.arg(int(S::Missing))}));
    }

    void binding_data()
    {
        QTest::addColumn<QString>("before"); // what com3 is before: "", "link", "dangling"
        QTest::addColumn<bool>("folderExists");
        QTest::newRow("new link") << u""_s << true;
        QTest::newRow("a link replaced") << u"link"_s << true;
        QTest::newRow("a dangling link replaced") << u"dangling"_s << true;
        QTest::newRow("folder made") << u""_s << false;
    }

    void binding()
    {
        QFETCH(QString, before);
        QFETCH(bool, folderExists);
        QTemporaryDir root;
        const QString folder = root.filePath(u"config/pwm-panel"_s);
        if (folderExists)
            QVERIFY(QDir().mkpath(folder));
        const QString com3 = folder + u"/com3"_s;
        if (before == u"link")
            QVERIFY(QFile::link(root.path(), com3));
        if (before == u"dangling")
            QVERIFY(QFile::link(root.filePath(u"gone"_s), com3));

        const QString target = u"/dev/serial/by-id/usb-ACME_Widget_S123-if00-port0"_s;
        const BindOutcome outcome = bindPortNumber(folder, 3, target);
        QVERIFY2(outcome.bound, qPrintable(outcome.message));
        QCOMPARE(outcome.message, QString());
        QCOMPARE(QFileInfo(com3).symLinkTarget(), target);
        QCOMPARE(
            QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{u"com3"_s}); // no temporary left behind
    }

    void aFileOfTheUsersOwnIsLeftAlone()
    {
        QTemporaryDir folder;
        const QString com3 = folder.filePath(u"com3"_s);
        writeFile(com3, "/dev/ttyUSB0\n");
        const BindOutcome outcome = bindPortNumber(folder.path(), 3, u"/dev/ttyUSB1"_s);
        QVERIFY(!outcome.bound);
        QVERIFY2(outcome.message.contains(com3) && outcome.message.contains(u"not a link"_s),
                 qPrintable(outcome.message));
        QVERIFY(!QFileInfo(com3).isSymLink());
        QCOMPARE(readFile(com3), "/dev/ttyUSB0\n"_ba);
        QCOMPARE(QDir(folder.path())
                     .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"com3"_s});
    }

    void watcher_data()
    {
        QTest::addColumn<int>("changes");
        QTest::newRow("one lock file") << 1;
        QTest::newRow("a burst of 20") << 20;
    }

    // However many changes arrive within the interval, one signal.
    void watcher()
    {
        QFETCH(int, changes);
        Machine m;
        QVERIFY(QDir().mkpath(m.dev({})));
        QVERIFY(QDir().mkpath(m.path(u"lock"_s)));
        PortWatcher watcher(m.places(), m.dev({}), std::chrono::milliseconds(50));
        watcher.watchLockFolders();
        QSignalSpy changed(&watcher, &PortWatcher::portsChanged);
        for (int n = 0; n < changes; ++n) // a lock file taken says as much as a port plugged in
            writeFile(n % 2 ? m.dev(u"ttyUSB%1"_s.arg(n)) : m.path(u"lock/LCK..ttyUSB%1"_s.arg(n)), "42\n");
        QVERIFY(changed.wait(1000));
        QTest::qWait(300);
        QCOMPARE(changed.size(), 1);
    }

    // by-id comes with the first USB device: once it exists, what happens inside it is seen.
    void aStableFolderMadeLaterIsWatched()
    {
        Machine m;
        QVERIFY(QDir().mkpath(m.dev({})));
        PortWatcher watcher(m.places(), m.dev({}), std::chrono::milliseconds(50));
        QSignalSpy changed(&watcher, &PortWatcher::portsChanged);
        QVERIFY(QDir().mkpath(m.path(u"by-id"_s)));
        QVERIFY(changed.wait(1000));
        QTest::qWait(100);
        for (int round = 0; round < 2; ++round) { // again once it went and came back
            changed.clear();
            m.link(m.dev(u"ttyUSB0"_s), u"by-id/usb-ACME_Widget_S123-if00-port0"_s);
            QVERIFY(changed.wait(1000));
            QVERIFY(QDir(m.path(u"by-id"_s)).removeRecursively());
            QVERIFY(QDir().mkpath(m.path(u"by-id"_s)));
            QTest::qWait(200);
        }
    }
};

QTEST_GUILESS_MAIN(TestPortListing)
#include "tst_portlisting.moc"
