#pragma once

#include "session/statusline.h"

#include <QString>

class QLabel;
class QPushButton;
class QWidget;
struct WindowWidgets;

// What the main window tells assistive technology (Orca, through Qt's AT-SPI
// bridge): plain names for the padded captions, state that otherwise shows
// only as colour, and the changes worth saying. Nothing here changes a pixel.
namespace WindowAccess {

// Names and descriptions for every control, the presets as checkable buttons
// (none lit) and the status, device and duty lines readable as text.
void describe(const WindowWidgets &widgets);

// Names the status, device or duty line with what it shows ("Status: Found:
// DUTY01"), so that a screen reader reads it on F6, in where-am-I and in flat
// review; a change of name is sent as such.
void nameLine(QLabel *line);

// Lights a preset for assistive technology: checked, and said when it changes.
void setPresetLit(QPushButton *preset, bool lit);

// The status line's colour in words, with the system's detail when there is one.
QString statusDescription(const StatusLine &status);
// Whether a screen reader should hear the change from before to after.
bool statusWorthSaying(const StatusLine &before, const StatusLine &after);

} // namespace WindowAccess
