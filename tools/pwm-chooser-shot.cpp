// For screenshots of the port chooser only: the program wired as main.cpp
// wires it, but over a made-up list of ports and ports that only pretend, so
// nothing on the machine is touched. Usage: pwm-chooser-shot OUT.png [--find]
// (--find: after Find the device, the FTDI adapter having answered). Never installed.
#include "app/panelprogram.h"
#include "link/portadvice.h"
#include "windows/chooser/portchooser.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Opens, takes every write, and says DUTY01 to "I?" when it is the answering device.
class PretendPort final : public SerialPort
{
public:
    explicit PretendPort(QString answering = {}) : m_answering(std::move(answering)) {}
    bool open(const LineSettings &settings) override
    {
        m_device = settings.devicePath;
        return m_open = true;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray &bytes) override
    {
        if (!m_answering.isEmpty() && m_device == m_answering && bytes == "I?\r")
            QTimer::singleShot(10, this, [this] {
                m_input = "DUTY01\r";
                emit readyRead();
            });
        return m_open;
    }
    QByteArray readAll() override { return std::exchange(m_input, {}); }
    PortFailure lastFailure() const override { return {}; }

private:
    QString m_answering;
    QString m_device;
    QByteArray m_input;
    bool m_open = false;
};

struct MadeUpLister final : PortLister
{
    QList<PortRow> list(const QString &) const override
    {
        using S = PortRow::State;
        const QString byId = QStringLiteral("/dev/serial/by-id/");
        // clang-format off
        PortRow ftdi{"/dev/ttyUSB0", byId + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FT232R USB UART",
                     "FTDI", "A50285BI", "0403:6001", S::Free, {}, {}};
        PortRow ch340{"/dev/ttyUSB1", "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0",
                      "USB Serial", "1a86", {}, "1a86:7523", S::InUse, "minicom (pid 4242)", {}};
        PortRow acm{"/dev/ttyACM0", byId + "usb-Arduino__www.arduino.cc__0043_85736323838351F0D1E1-if00",
                    "Arduino Uno", "Arduino (www.arduino.cc)", "85736323838351F0D1E1", "2341:0043",
                    S::NoPermission, {}, portAdvice(PortTrouble::NoPermission, "/dev/ttyACM0")};
        PortRow uart{"/dev/ttyS0", {}, "ttyS0", {}, {}, {}, S::NoHardware, {}, {}};
        PortRow ours{"/dev/ttyUSB2", byId + "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0",
                     "USB-Serial Controller", "Prolific Technology Inc.", {}, "067b:2303", S::ThisPanel, {}, {}};
        // clang-format on
        return {acm, uart, ftdi, ch340, ours};
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

    PretendPort port;
    MessageBoxDialogs dialogs;
    PortSystem ports{std::make_shared<MadeUpLister>(),
                     [] { return std::make_unique<PretendPort>(QStringLiteral("/dev/ttyUSB0")); },
                     PortPlaces{}};
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
