// The port chooser over a fake list of ports: what it shows, choosing (the
// com<N> link and the search starting again), Find the device with ports
// that answer or stay silent, and the list following the ports.
#include "link/portwatcher.h"
#include "windowharness.h"
#include "windows/chooser/portchooser.h"

#include <QTreeWidget>
#include <filesystem>

namespace {

const QString kById = u"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"_s;

struct FakeLister final : PortLister
{
    QList<PortRow> rows;
    QList<PortRow> list(const QString &) const override { return rows; }
};

// The probe's ports: which devices were opened and written to, and which answer.
struct ProbeLog
{
    QStringList opened;
    QStringList written;
    QSet<QString> answering; // these answer I? with the device code
    QList<QPointer<SerialPort>> open;
};

class ProbedPort final : public SerialPort
{
public:
    explicit ProbedPort(ProbeLog &log) : m_log(log) {}
    bool open(const LineSettings &settings) override
    {
        m_device = settings.devicePath;
        m_log.opened << m_device;
        m_log.open << this;
        return m_isOpen = true;
    }
    void close() override { m_isOpen = false; }
    bool isOpen() const override { return m_isOpen; }
    bool write(const QByteArray &bytes) override
    {
        m_log.written << m_device;
        if (m_log.answering.contains(m_device) && bytes == "I?\r")
            QTimer::singleShot(0, this, [this] {
                m_input = "DUTY01\r";
                emit readyRead();
            });
        return true;
    }
    QByteArray readAll() override { return std::exchange(m_input, {}); }
    PortFailure lastFailure() const override { return {}; }

private:
    ProbeLog &m_log;
    QString m_device;
    QByteArray m_input;
    bool m_isOpen = false;
};

PortRow row(const QString &device, PortRow::State state, const QString &stableName = {})
{
    PortRow r;
    r.device = device;
    r.state = state;
    r.stableName = stableName;
    r.holder = u"minicom (pid 4242)"_s;
    r.advice = u"Add yourself to the dialout group."_s;
    return r;
}

// The program over the fake port, its chooser over the fake list.
struct Chooser
{
    QTemporaryDir dir;
    FakeSerialPort port;
    ScriptedDialogs dialogs;
    std::shared_ptr<FakeLister> lister = std::make_shared<FakeLister>();
    ProbeLog probe;
    std::unique_ptr<PanelProgram> program;

    Chooser()
    {
        lister->rows = {row(u"/dev/ttyACM0"_s, PortRow::State::NoPermission),
                        row(u"/dev/ttyS0"_s, PortRow::State::NoHardware),
                        row(u"/dev/ttyS1"_s, PortRow::State::ThisPanel),
                        row(u"/dev/ttyUSB0"_s, PortRow::State::Free, kById),
                        row(u"/dev/ttyUSB1"_s, PortRow::State::InUse),
                        row(u"/dev/ttyUSB2"_s, PortRow::State::Free),
                        row(u"/dev/ttyUSB3"_s, PortRow::State::Busy)};
        writeIni(dir, u"pwm-panel"_s, iniFile());
        SessionSchedule schedule = ticksByHand({SessionTimer::Search, SessionTimer::ResponseTimeout});
        schedule.responseTimeout = std::chrono::milliseconds(300); // how long Find waits too
        PortSystem ports{lister, [this] { return std::make_unique<ProbedPort>(probe); }, PortPlaces{}};
        program = std::make_unique<PanelProgram>(port, dialogs, ExecutableInfo{dir.path(), u"pwm-panel"_s},
                                                 schedule, std::move(ports));
    }
    PortChooser &open()
    {
        PortChooser &c = program->portActions().showChooser();
        [[maybe_unused]] const bool shown = QTest::qWaitForWindowExposed(&c);
        return c;
    }
    template <class W> W *part(const QString &name) const
    {
        for (W *w : program->portActions().chooser()->findChildren<W *>())
            if (w->accessibleName() == name)
                return w;
        qFatal("no %s in the chooser", qPrintable(name));
    }
    QTreeWidget *list() const { return part<QTreeWidget>(u"Serial ports present"_s); }
    QLineEdit *path() const { return part<QLineEdit>(u"Device path"_s); }
    QTreeWidgetItem *item(const QString &device) const
    {
        return list()->findItems(device, Qt::MatchExactly).value(0);
    }
    QString linkTarget() const
    {
        std::error_code failed;
        return QString::fromStdString(
            std::filesystem::read_symlink(dir.filePath(u"com1"_s).toStdString(), failed));
    }
};

} // namespace

class TestPortChooser : public QObject
{
    Q_OBJECT

private slots:
    void showsEachPortInWords()
    {
        Chooser c;
        PortChooser &chooser = c.open();
        QCOMPARE(chooser.windowTitle(), u"Port for pwm-panel"_s);
        QCOMPARE(chooser.focusWidget(), c.path());
        QStringList shown;
        for (int i = 0; i < c.list()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = c.list()->topLevelItem(i);
            shown << item->text(0) + u": "_s + item->text(1) +
                         (item->flags() & Qt::ItemIsEnabled ? u""_s : u" (greyed)"_s);
        }
        QCOMPARE(shown, QStringList({u"/dev/ttyACM0: no permission"_s, u"/dev/ttyS0: no hardware (greyed)"_s,
                                     u"/dev/ttyS1: this panel's port"_s, u"/dev/ttyUSB0: free"_s,
                                     u"/dev/ttyUSB1: in use by minicom (pid 4242)"_s, u"/dev/ttyUSB2: free"_s,
                                     u"/dev/ttyUSB3: busy"_s}));
        QVERIFY(c.item(u"/dev/ttyACM0"_s)->toolTip(1).contains(u"dialout"_s));
    }

    void choosingBindsAndSearchesAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("target"); // what com1 names afterwards
        QTest::addRow("Return in the path box") << u"Return"_s << u"/dev/ttyUSB9"_s;
        QTest::addRow("OK on a row: its by-id name") << u"OK /dev/ttyUSB0"_s << kById;
        QTest::addRow("double-click on a row") << u"double-click /dev/ttyUSB2"_s << u"/dev/ttyUSB2"_s;
        QTest::addRow("a regular file com1 is refused") << u"OK /dev/ttyUSB0"_s << QString();
    }
    void choosingBindsAndSearchesAtOnce()
    {
        QFETCH(QString, how);
        QFETCH(QString, target);
        Chooser c;
        const QByteArray usersFile = "the user's own\n";
        if (target.isEmpty()) {
            QFile f(c.dir.filePath(u"com1"_s));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(usersFile) == usersFile.size());
        }
        c.program->window().show();
        // Identified first: choosing must end that connection and search again.
        QVERIFY(tickByHand(c.program->session(), SessionTimer::Search));
        c.port.simulateArrival("DUTY01\r");
        QCOMPARE(c.program->session().state(), DeviceSession::State::Identified);
        c.port.calls.clear();

        PortChooser &chooser = c.open();
        const QString device = how.section(u' ', 1);
        if (how == u"Return") {
            QTest::keyClicks(c.path(), target);
            QTest::keyClick(c.path(), Qt::Key_Return);
        } else if (how.startsWith(u"OK")) {
            c.list()->setCurrentItem(c.item(device));
            c.part<QPushButton>(u"Choose this port"_s)->click();
        } else {
            QWidget *view = c.list()->viewport();
            const QPoint at = c.list()->visualItemRect(c.item(device)).center();
            QTest::mouseClick(view, Qt::LeftButton, {}, at); // a real double click begins with a press
            QTest::mouseDClick(view, Qt::LeftButton, {}, at);
        }

        if (target.isEmpty()) {
            QCOMPARE(readFile(c.dir.filePath(u"com1"_s)), usersFile);
            QVERIFY(chooser.isVisible());
            QVERIFY2(c.part<QLabel>(u"Why the port was not bound"_s)->isVisible(),
                     "the refusal is said in the dialog");
            QCOMPARE(c.program->session().state(), DeviceSession::State::Identified);
            return;
        }
        QCOMPARE(c.linkTarget(), target);
        QVERIFY(!chooser.isVisible());
        QCOMPARE(c.port.calls.first(2), (QStringList{u"Close"_s, u"Open 1 9600"_s})); // asked at once
        QCOMPARE(c.program->session().state(), DeviceSession::State::Searching);
        QCOMPARE(c.program->session().status().text, u"Searching for uc code..."_s);
    }

    void findAsksOnlyTheFreePorts()
    {
        Chooser c;
        c.probe.answering = {u"/dev/ttyUSB0"_s};
        c.open();
        QLabel *found = c.part<QLabel>(u"What the search found"_s);
        c.part<QPushButton>(u"Find the device"_s)->click();
        QCOMPARE(found->text(), u"Asking 2 free ports…"_s);
        QTRY_COMPARE(found->text(), u"1 of 2 answered."_s);
        QCOMPARE(c.item(u"/dev/ttyUSB0"_s)->text(1), u"answered DUTY01"_s);
        QCOMPARE(c.list()->selectedItems(), QList<QTreeWidgetItem *>{c.item(u"/dev/ttyUSB0"_s)});
        QCOMPARE(c.path()->text(), kById);
        QCOMPARE(c.probe.opened, QStringList({u"/dev/ttyUSB0"_s, u"/dev/ttyUSB2"_s}));
        QVERIFY(!c.probe.written.contains(u"/dev/ttyUSB1"_s));
    }

    void closingEndsTheFind()
    {
        Chooser c;
        PortChooser &chooser = c.open();
        c.part<QPushButton>(u"Find the device"_s)->click();
        QCOMPARE(c.probe.open.size(), 2);
        chooser.reject();
        for (const QPointer<SerialPort> &port : std::as_const(c.probe.open))
            QVERIFY(!port || !port->isOpen());
    }

    void refreshKeepsTheSelection()
    {
        Chooser c;
        c.open();
        c.list()->setCurrentItem(c.item(u"/dev/ttyUSB2"_s));
        c.lister->rows.prepend(row(u"/dev/ttyACM1"_s, PortRow::State::Free)); // the rows below move down
        emit c.program->portActions().chooser()->findChild<PortWatcher *>()->portsChanged();
        QCOMPARE(c.list()->topLevelItemCount(), 8);
        QCOMPARE(c.list()->selectedItems(), QList<QTreeWidgetItem *>{c.item(u"/dev/ttyUSB2"_s)});
    }

    void ctrlPOpensTheChooser()
    {
        Chooser c;
        MainWindow &window = c.program->window();
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(c.program->portActions().chooser() && c.program->portActions().chooser()->isVisible());
        QStringList menu;
        for (const QAction *action : findWindowWidgets(window).statusLabel->actions())
            menu << action->text();
        QVERIFY2(menu.contains(u"Choose port…"_s), qPrintable(menu.join(u", ")));
    }
};

QTEST_MAIN(TestPortChooser)
#include "tst_portchooser.moc"
