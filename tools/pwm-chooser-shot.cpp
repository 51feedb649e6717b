// For screenshots of the port chooser only: the program wired as main.cpp
// wires it, but over a made-up list of ports and ports that only pretend, so
// nothing on the machine is touched. Usage: pwm-chooser-shot OUT.png [--find]
// (--find: after Find the device, the FTDI adapter having answered). Never installed.
#include "app/panelprogram.h"
#include "link/portadvice.h"
#include "testsupport/fakeserialport.h"
#include "windows/chooser/portchooser.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// A port that only pretends: /dev/ttyUSB0 says DUTY01 to "I?", the rest say nothing.
std::unique_ptr<SerialPort> pretendPort()
{
    auto port = std::make_unique<FakeSerialPort>();
    port->answer = [p = port.get()](const QByteArray &line) {
        return line == "I?" && p->devicePath() == u"/dev/ttyUSB0" ? QByteArray("DUTY01\r") : QByteArray();
    };
    return port;
}

PortRow madeUp(const QString &device, PortRow::State state, const QString &description,
               const QString &stableName = {})
{
    PortRow row;
    row.device = device;
    row.state = state;
    row.description = description;
    row.stableName = stableName;
    return row;
}

// Two adapters of one make, told apart only by serial number and stable name.
struct MadeUpLister final : PortLister
{
    QList<PortRow> list(const QString &, const QStringList &) const override
    {
        using S = PortRow::State;
        const QString byId = QStringLiteral("/dev/serial/by-id/");
        PortRow acm = madeUp("/dev/ttyACM0", S::NoPermission, "Arduino Uno",
                             byId + "usb-Arduino__www.arduino.cc__0043_85736323838351F0D1E1-if00");
        acm.manufacturer = "Arduino (www.arduino.cc)";
        acm.serialNumber = "85736323838351F0D1E1";
        acm.usbId = "2341:0043";
        acm.advice = portAdvice(PortTrouble::NoPermission, "/dev/ttyACM0");
        PortRow ftdiA = madeUp("/dev/ttyUSB0", S::Free, "FT232R USB UART",
                               byId + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        ftdiA.manufacturer = "FTDI";
        ftdiA.usbId = "0403:6001";
        PortRow ftdiB = ftdiA;
        ftdiA.serialNumber = "A50285BI";
        ftdiB.device = "/dev/ttyUSB1";
        ftdiB.serialNumber = "A9K3L2QX";
        ftdiB.stableName = byId + "usb-FTDI_FT232R_USB_UART_A9K3L2QX-if00-port0";
        ftdiB.state = S::Busy;
        ftdiB.holder = "screen (pid 5150)";
        PortRow ch340 = madeUp("/dev/ttyUSB2", S::InUse, "USB Serial",
                               "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
        ch340.manufacturer = "1a86";
        ch340.usbId = "1a86:7523";
        ch340.holder = "minicom (pid 4242)";
        PortRow typed = madeUp("/home/ann/bench/ttyV0", S::Missing, {});
        typed.typedPath = typed.device;
        return {madeUp("/dev/pts/3", S::ThisPanel, "pseudo-terminal"),
                acm,
                madeUp("/dev/ttyS0", S::NoHardware, "ttyS0"),
                ftdiA,
                ftdiB,
                ch340,
                typed};
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        qFatal("usage: pwm-chooser-shot OUT.png [--find]");
    const QString out = args[1];
    const bool find = args.contains(QStringLiteral("--find"));

    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("pwm-panel.ini")));
    if (!ini.open(QIODevice::WriteOnly) ||
        ini.write("1,\"9600\",\"-\",0,\"DUTY01\"\r\n\"PWM(%):\",\"Label2\",\"nc\",\"nc\"\r\n") < 0)
        qFatal("cannot write the settings file");
    ini.close();

    FakeSerialPort port;
    MessageBoxDialogs dialogs;
    PortSystem ports{std::make_shared<MadeUpLister>(), pretendPort, PortPlaces{}};
    PanelProgram program(port, dialogs, ExecutableInfo{dir.path(), QStringLiteral("pwm-panel")}, {},
                         std::move(ports));
    dialogs.setOwnerWindow(&program.window());
    program.window().show();
    PortChooser &chooser = program.portActions().showChooser();

    const auto save = [&chooser, out] {
        QTimer::singleShot(300, &chooser, [&chooser, out] {
            if (!chooser.grab().save(out))
                qFatal("cannot save %s", qPrintable(out));
            QCoreApplication::exit(0); // quit() would ask the main window first
        });
    };
    if (find) {
        QObject::connect(&chooser, &PortChooser::findFinished, &chooser, save);
        QTimer::singleShot(300, &chooser, [&chooser] { chooser.findDevice(); });
    } else {
        save();
    }
    return app.exec();
}
