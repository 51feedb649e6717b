#pragma once

#include "link/serialport.h"

#include <QString>
#include <QStringList>

// The words of the status and device lines. Users quote them (and the failure
// numbers in them), so each stays exactly as it is.

// "Invalid Port Number!", "Port already open!", or "COM Port comm-error! <number>".
QString portFailureCaption(PortError error);
// A line from the device that is not its code, with the port it came through.
QString receivedLineCaption(int portNumber, const QString &baudRate, const QString &line);
// The device answered with its code.
QString foundCaption(const QString &line);
// Each sample tick: the sample time and the ticks counted towards the next poll.
QString sampleTickCaption(int sampleTime, int ticks);
// Who answered, and this copy's name.
QString deviceLabel(const QString &code, const QString &baseName);
// The status line's tooltip when a command from the panel found the queue full.
QString notQueuedDetail(qsizetype waiting);
// The search waits for a com<N> link that was there and is missing now.
QString waitingForLinkCaption(int portNumber);
// Where it was looked for, and why no other device is tried meanwhile.
QString waitingForLinkDetail(int portNumber, const QStringList &folders);
