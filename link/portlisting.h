#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// What the port chooser can tell about one serial port present on the machine.
struct PortRow
{
    enum class State {
        Free,         // nobody else holds it: it may be chosen and asked who it is
        ThisPanel,    // the port this panel's number names now
        InUse,        // a living program holds its lock file (holder says who)
        Busy,         // another process has it open without a lock file
        NoPermission, // this user may not open it (advice says what to do)
        NoHardware,   // a ttyS node with no UART behind it
        Missing,      // a path typed before that names nothing now
    };

    QString device;      // "/dev/ttyUSB0", links resolved
    QString stableName;  // under /dev/serial/by-id, else /dev/serial/by-path, else empty
    QString typedPath;   // the path the user typed for it before (a socat link, say), else empty
    QString description; // the system's words for it
    QString manufacturer;
    QString serialNumber;
    QString usbId; // "0403:6001"; empty when it is not a USB device
    State state = State::Free;
    QString holder; // InUse, Busy: "<program> (pid N)"; Busy: empty when the system does not say
    QString advice; // NoPermission: what the user can do

    // What a com<N> link should point at: the name the user gave it, else the
    // stable name when there is one, so the link still finds the device after a replug.
    QString bindTarget() const
    {
        return !typedPath.isEmpty() ? typedPath : stableName.isEmpty() ? device : stableName;
    }
    // Whether it is held by someone else: choosing it asks first.
    bool isHeld() const { return state == State::InUse || state == State::Busy; }
};

// What the system reports of a port before any check of ours.
struct PortFacts
{
    QString device;
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbId;
    // A ttyS node Qt left out (it lists only those with a UART): it is checked
    // for hardware before it is offered.
    bool unlisted = false;
};

// The checks that touch a device node; tests pass their own to play a node
// without hardware or one this user may not open.
struct PortChecks
{
    // False when the ttyS node has no UART behind it.
    std::function<bool(const QString &device)> hardwarePresent;
    // 0 when this user may read and write the device, else the errno of access().
    std::function<int(const QString &device)> accessError;
};

// The folders the listing reads. Tests pass temporary ones; nothing is taken
// from the environment.
struct PortPlaces
{
    QStringList stableFolders{QStringLiteral("/dev/serial/by-id"), QStringLiteral("/dev/serial/by-path")};
    QStringList lockFolders{QStringLiteral("/var/lock"), QStringLiteral("/run/lock")};
    QString procFolder = QStringLiteral("/proc");
};

// Lists the serial ports present.
class PortLister
{
public:
    virtual ~PortLister() = default;
    // Every port present, sorted by device; the one at thisPanelDevice (links
    // resolved) is ThisPanel and listed even when the system lists no such
    // port (a pseudo-terminal). Each of typedBefore is listed too: with its
    // port's row when it names one, else as Missing. Touches no port's lines.
    virtual QList<PortRow> list(const QString &thisPanelDevice,
                                const QStringList &typedBefore = {}) const = 0;
};

// The machine's ports: Qt's serial port info (udev's data) with our checks.
class SystemPortLister final : public PortLister
{
public:
    using FactsSource = std::function<QList<PortFacts>()>;
    // Empty facts or checks: the system's own.
    explicit SystemPortLister(PortPlaces places = {}, FactsSource facts = {}, PortChecks checks = {});
    QList<PortRow> list(const QString &thisPanelDevice, const QStringList &typedBefore = {}) const override;

    // Qt's ports, plus /dev/ttyS0-3 where they exist and Qt left them out.
    static QList<PortFacts> systemFacts();

private:
    PortPlaces m_places;
    FactsSource m_facts;
    PortChecks m_checks;
};

// The link under one of the folders that resolves to device, else empty.
QString stableNameOf(const QString &device, const QStringList &folders);
// "by-id" or "by-path": the kind of stable name, from its folder.
QString stableNameKind(const QString &stableName);

// The devices that may be asked who they are: the Free rows only. A port
// that is ours, held, busy, denied or without hardware is never written to.
QStringList probeCandidates(const QList<PortRow> &rows);
