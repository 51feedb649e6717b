#pragma once

#include <QMetaType>
#include <QString>

// What the status line says about the link; the window gives each its colour.
enum class StatusTone {
    Neutral,   // before the first search
    Searching, // waiting for the device to identify itself
    Failed,    // a port error, or no answer in time
    Receiving, // a line came in
    Found,     // the device identified itself
};

struct StatusLine
{
    QString text;
    StatusTone tone = StatusTone::Neutral;
    // The system's words for the last port error (the window's tooltip).
    QString detail;
    // Which device the port names: the one found, or the one waited for
    // (also in the tooltip).
    QString device;
    friend bool operator==(const StatusLine &, const StatusLine &) = default;
};
Q_DECLARE_METATYPE(StatusLine)
