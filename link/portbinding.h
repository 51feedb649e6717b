#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// What binding a port number did.
struct BindOutcome
{
    bool bound = false;
    QString message; // why not, in the system's or our words; empty when bound
};

// Makes <folder>/com<number> a symbolic link to target (replacing an older
// link in one step). A com<number> there that is not a symbolic link is the
// user's own file: it is never replaced, and the outcome says so.
BindOutcome bindPortNumber(const QString &folder, int number, const QString &target);

// A path the user typed, looked at before anything is bound.
struct BindCheck
{
    QString target;    // what com<N> is to name; empty when refused
    QString device;    // the device node behind it, links resolved
    QString refusal;   // why it cannot be bound, in our words
    bool byId = false; // target is the by-id name of the kernel name typed
};

// Whether a character device is a serial port or a pseudo-terminal; tests may pass their own.
using TtyCheck = std::function<bool(const QString &device)>;
bool isSerialOrPseudoTerminal(const QString &device); // the system's, from /proc/tty/drivers

// The typed path must be whole, exist and be a serial port or a
// pseudo-terminal, itself or through links. A kernel name ("/dev/ttyUSB5")
// with a link to it in a by-id folder of stableFolders is bound by that
// name, so the device is found again after a replug; any other link typed
// (a by-path name, a socat link) is bound as typed.
BindCheck checkBindTarget(const QString &typed, const QStringList &stableFolders,
                          const TtyCheck &isTty = isSerialOrPseudoTerminal);
