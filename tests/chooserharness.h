#pragma once

// The port chooser in a program over the fake port and a fake list of ports;
// the rows that can be chosen are pseudo-terminals, one with a by-id name.
// The ports Find asks only pretend: each answers as the test says.
#include "testsupport/pty.h"
#include "windowharness.h"
#include "windows/chooser/portchooser.h"

#include <QTreeWidget>
#include <filesystem>

namespace {

struct FakeLister final : PortLister
{
    QList<PortRow> rows;
    mutable QStringList typedBefore; // as last asked
    QList<PortRow> list(const QString &, const QStringList &typed) const override
    {
        typedBefore = typed;
        return rows;
    }
};

// The probe's ports: which devices were opened and written to, and which answer.
struct ProbeLog
{
    QStringList opened;
    QStringList written;
    QHash<QString, QByteArray> answers; // what each answers I? with
    QSet<QString> stale;                // these hold a reply from an earlier search
    QList<QPointer<SerialPort>> open;
};

// A port Find asks: a fake port whose device answers as the log says.
std::unique_ptr<SerialPort> probedPort(ProbeLog &log)
{
    auto port = std::make_unique<FakeSerialPort>();
    port->whenOpened = [&log](FakeSerialPort &p) {
        log.open << &p;
        log.opened << p.devicePath();
        if (log.stale.contains(p.devicePath()))
            p.arriveLater("DUTY01\r");
    };
    port->answer = [&log, p = port.get()](const QByteArray &line) {
        log.written << p->devicePath();
        return line == "I?" && log.answers.contains(p->devicePath()) ? log.answers[p->devicePath()] + '\r'
                                                                     : QByteArray();
    };
    return port;
}

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

// The program over the fake port, its chooser over the fake list; the rows
// that can be chosen are pseudo-terminals, one with a by-id name.
struct Chooser
{
    QTemporaryDir dir;
    FakeSerialPort port;
    ScriptedDialogs dialogs;
    std::shared_ptr<FakeLister> lister = std::make_shared<FakeLister>();
    ProbeLog probe;
    PtyPair usbA, usbB, held;
    std::unique_ptr<PanelProgram> program;

    QString byId() const { return dir.filePath(u"by-id/usb-FTDI_FT232R_USB_UART_A1-if00-port0"_s); }

    explicit Chooser(std::chrono::milliseconds findTimeout = std::chrono::milliseconds(300))
    {
        if (!usbA.open() || !usbB.open() || !held.open())
            qFatal("no pseudo-terminal: %s", qPrintable(usbA.errorString()));
        QDir().mkpath(dir.filePath(u"by-id"_s));
        QFile::link(usbA.slavePath(), byId());
        lister->rows = {row(u"/dev/ttyACM0"_s, PortRow::State::NoPermission),
                        row(u"/dev/ttyS0"_s, PortRow::State::NoHardware),
                        row(u"/dev/ttyS1"_s, PortRow::State::ThisPanel),
                        row(u"/dev/ttyUSB0"_s, PortRow::State::Free, byId()),
                        row(held.slavePath(), PortRow::State::InUse),
                        row(usbB.slavePath(), PortRow::State::Free),
                        row(u"/dev/ttyUSB3"_s, PortRow::State::Busy)};
        writeIni(dir, u"pwm-panel"_s, iniFile());
        SessionSchedule schedule = ticksByHand({SessionTimer::Search, SessionTimer::ResponseTimeout});
        schedule.responseTimeout = findTimeout; // how long Find waits too
        PortPlaces places{{dir.filePath(u"by-id"_s)}, {dir.filePath(u"lock"_s)}, u"/proc"_s};
        PortSystem ports{lister, [this] { return probedPort(probe); }, places};
        program = std::make_unique<PanelProgram>(port, dialogs, ExecutableInfo{dir.path(), u"pwm-panel"_s},
                                                 schedule, std::move(ports));
    }
    PortChooser &open()
    {
        PortChooser &c = program->portActions().showChooser();
        [[maybe_unused]] const bool shown = QTest::qWaitForWindowActive(&c);
        return c;
    }
    template <class W> W *part(const QString &name) const
    {
        for (W *w : program->window().findChild<PortChooser *>()->findChildren<W *>())
            if (w->accessibleName() == name)
                return w;
        qFatal("no %s in the chooser", qPrintable(name));
    }
    QTreeWidget *list() const { return part<QTreeWidget>(u"Serial ports present"_s); }
    QLineEdit *path() const { return part<QLineEdit>(u"Device path"_s); }
    QString refusal() const
    {
        QLabel *line = part<QLabel>(u"Why the port was not bound"_s);
        return line->isVisible() ? line->text() : QString();
    }
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
