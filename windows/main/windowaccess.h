#pragma once

#include "session/statusline.h"

#include <QString>

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

// Lights a preset for assistive technology: checked, and said when it changes.
void setPresetLit(QPushButton *preset, bool lit);

// The status line's colour in words, with the system's detail when there is one.
QString statusDescription(const StatusLine &status);
// Whether a screen reader should hear the change from before to after.
bool statusWorthSaying(const StatusLine &before, const StatusLine &after);

} // namespace WindowAccess
