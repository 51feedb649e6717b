#include "link/portlisting.h"

#include "link/portadvice.h"
#include "link/serialhardware.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

bool isTtySNode(const QString &device)
{
    static const QRegularExpression ttyS(QStringLiteral("^ttyS\\d+$"));
    return ttyS.match(QFileInfo(device).fileName()).hasMatch();
}

bool systemHardwarePresent(const QString &device)
{
    const int fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        // Denied or held says nothing about the chip; the later checks tell those.
        return errno == EACCES || errno == EPERM || errno == EBUSY;
    }
    const bool present = serialHardwarePresent(fd);
    ::close(fd);
    return present;
}

int systemAccessError(const QString &device)
{
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0 ? 0 : errno;
}

// "ttyS10" after "ttyS9": the digits at the end compare as numbers.
bool deviceLess(const QString &a, const QString &b)
{
    static const QRegularExpression tail(QStringLiteral("^(.*?)(\\d+)$"));
    const auto ma = tail.match(a), mb = tail.match(b);
    if (ma.hasMatch() && mb.hasMatch() && ma.captured(1) == mb.captured(1))
        return ma.captured(2).toULongLong() < mb.captured(2).toULongLong();
    return a < b;
}

QString readFirstLine(const QString &path, int line = 0)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(f.read(4096).split('\n').value(line)).trimmed();
}

// Everything the listing learns from the lock and proc folders, read once per list().
class Holders
{
public:
    explicit Holders(const PortPlaces &places) : m_places(places) {}

    // "<program> (pid N)" of a living process whose lock file names the device.
    QString lockHolder(const QString &device) const
    {
        // Qt names a lock after the path below /dev ("pts_3"); others after the base name.
        QString below = device;
        if (below.startsWith(QLatin1String("/dev/")))
            below.remove(0, 5);
        const QStringList names{QStringLiteral("LCK..") + QFileInfo(device).fileName(),
                                QStringLiteral("LCK..") + below.replace(u'/', u'_')};
        for (const QString &folder : m_places.lockFolders)
            for (const QString &name : names) {
                const QString path = QDir(folder).filePath(name);
                bool ok = false;
                const qint64 pid = readFirstLine(path).toLongLong(&ok);
                if (!ok || pid <= 0 || pid == QCoreApplication::applicationPid() || !alive(pid))
                    continue; // a stale lock, or our own
                QString program = readFirstLine(procPath(pid) + QStringLiteral("/comm"));
                if (program.isEmpty())
                    program = readFirstLine(path, 1);
                return holderText(program, pid);
            }
        return {};
    }

    // The process (not ours) that has the device open, as "<program> (pid N)";
    // "" when it could not be named, null when nobody has it open.
    QString openedBy(const QString &device)
    {
        if (!m_scanned)
            scanProc();
        const auto it = m_openers.constFind(device);
        if (it == m_openers.cend())
            return {};
        const QString program = readFirstLine(procPath(*it) + QStringLiteral("/comm"));
        return holderText(program, *it);
    }

private:
    static QString holderText(const QString &program, qint64 pid)
    {
        return program.isEmpty() ? QStringLiteral("pid %1").arg(pid)
                                 : QStringLiteral("%1 (pid %2)").arg(program).arg(pid);
    }
    QString procPath(qint64 pid) const { return QDir(m_places.procFolder).filePath(QString::number(pid)); }
    bool alive(qint64 pid) const { return QFileInfo::exists(procPath(pid)); }

    void scanProc()
    {
        m_scanned = true;
        const qint64 self = QCoreApplication::applicationPid();
        const QStringList pids = QDir(m_places.procFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &name : pids) {
            bool ok = false;
            const qint64 pid = name.toLongLong(&ok);
            if (!ok || pid == self)
                continue;
            const QString fdFolder = procPath(pid) + QStringLiteral("/fd");
            const QByteArray encoded = QFile::encodeName(fdFolder);
            // Other users' fd folders are unreadable: those stay unknown.
            for (const QString &fd :
                 QDir(fdFolder).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
                char target[4096];
                const QByteArray link = encoded + '/' + QFile::encodeName(fd);
                const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
                if (n > 0 && target[0] == '/')
                    m_openers.insert(QFile::decodeName(QByteArray(target, n)), pid);
            }
        }
    }

    const PortPlaces &m_places;
    bool m_scanned = false;
    QHash<QString, qint64> m_openers; // device -> a process that has it open
};

// What the system does not list: the panel's own port or a path typed before.
PortFacts unlistedFacts(const QString &device)
{
    PortFacts facts{device, {}, {}, {}, {}, true};
    if (device.startsWith(QLatin1String("/dev/pts/")))
        facts.description = QCoreApplication::translate("PortLister", "pseudo-terminal");
    return facts;
}

} // namespace

QString stableNameOf(const QString &device, const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QDir dir(folder);
        for (const QFileInfo &entry :
             dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
            if (entry.isSymLink() && entry.canonicalFilePath() == device)
                return entry.absoluteFilePath();
    }
    return {};
}

QString stableNameKind(const QString &stableName)
{
    return stableName.isEmpty() ? QString() : QFileInfo(stableName).absoluteDir().dirName();
}

SystemPortLister::SystemPortLister(PortPlaces places, FactsSource facts, PortChecks checks)
    : m_places(std::move(places)), m_facts(facts ? std::move(facts) : FactsSource(systemFacts)),
      m_checks(std::move(checks))
{
    if (!m_checks.hardwarePresent)
        m_checks.hardwarePresent = systemHardwarePresent;
    if (!m_checks.accessError)
        m_checks.accessError = systemAccessError;
}

QList<PortFacts> SystemPortLister::systemFacts()
{
    QList<PortFacts> facts;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortFacts f{canonical(info.systemLocation()),
                    info.description(),
                    info.manufacturer(),
                    info.serialNumber(),
                    {}};
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            f.usbId = QString::asprintf("%04x:%04x", info.vendorIdentifier(), info.productIdentifier());
        facts << f;
    }
    for (int n = 0; n < 4; ++n) {
        const QString device = QStringLiteral("/dev/ttyS%1").arg(n);
        if (QFileInfo::exists(device) && std::none_of(facts.cbegin(), facts.cend(),
                                                      [&](const PortFacts &f) { return f.device == device; }))
            facts << PortFacts{device, {}, {}, {}, {}, true};
    }
    return facts;
}

QList<PortRow> SystemPortLister::list(const QString &thisPanelDevice, const QStringList &typedBefore) const
{
    QList<PortFacts> facts = m_facts();
    const QString thisPanel = thisPanelDevice.isEmpty() ? QString() : canonical(thisPanelDevice);
    const auto listed = [&](const QString &device) {
        return std::any_of(facts.cbegin(), facts.cend(),
                           [&](const PortFacts &f) { return canonical(f.device) == device; });
    };
    // The panel's own port is shown whatever it is: a ttyS node without a
    // UART says why it fails, a pseudo-terminal is what the demo uses.
    if (QFileInfo::exists(thisPanel) && !listed(thisPanel))
        facts << unlistedFacts(thisPanel);
    QHash<QString, QString> typedFor; // device: the path typed for it
    QList<PortRow> missing;
    for (const QString &typed : typedBefore) {
        const QString device = canonical(typed);
        if (!QFileInfo::exists(device)) {
            PortRow row;
            row.device = row.typedPath = typed;
            row.state = PortRow::State::Missing;
            missing << row;
            continue;
        }
        if (!listed(device))
            facts << unlistedFacts(device);
        typedFor.insert(device, typed);
    }

    Holders holders(m_places);
    QList<PortRow> rows;
    for (const PortFacts &f : std::as_const(facts)) {
        PortRow row;
        row.device = canonical(f.device);
        if (std::any_of(rows.cbegin(), rows.cend(), [&](const PortRow &r) { return r.device == row.device; }))
            continue;
        row.description = f.description;
        row.manufacturer = f.manufacturer;
        row.serialNumber = f.serialNumber;
        row.usbId = f.usbId;
        row.stableName = stableNameOf(row.device, m_places.stableFolders);
        // A by-id name typed, or the kernel name, adds nothing to the row; a link of the user's own does.
        if (const QString typed = typedFor.value(row.device); typed != row.stableName && typed != row.device)
            row.typedPath = typed;

        if (row.device == thisPanel) {
            row.state = PortRow::State::ThisPanel;
        } else if (f.unlisted && isTtySNode(row.device) && !m_checks.hardwarePresent(row.device)) {
            row.state = PortRow::State::NoHardware;
        } else if (m_checks.accessError(row.device) == EACCES) {
            row.state = PortRow::State::NoPermission;
            row.advice = portAdvice(PortTrouble::NoPermission, row.device);
        } else if (const QString holder = holders.lockHolder(row.device); !holder.isEmpty()) {
            row.state = PortRow::State::InUse;
            row.holder = holder;
        } else if (const QString opener = holders.openedBy(row.device); !opener.isNull()) {
            row.state = PortRow::State::Busy;
            row.holder = opener;
        }
        rows << row;
    }
    for (const PortRow &row : std::as_const(missing))
        if (std::none_of(rows.cbegin(), rows.cend(),
                         [&](const PortRow &r) { return r.device == row.device; }))
            rows << row;
    std::sort(rows.begin(), rows.end(),
              [](const PortRow &a, const PortRow &b) { return deviceLess(a.device, b.device); });
    return rows;
}

QStringList probeCandidates(const QList<PortRow> &rows)
{
    QStringList devices;
    for (const PortRow &row : rows)
        if (row.state == PortRow::State::Free)
            devices << row.device;
    return devices;
}
