#pragma once

#include "session/statusline.h"

#include <QString>

class QAccessibleEvent;
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

// Lights a preset for assistive technology: checked, and said when it changes.
void setPresetLit(QPushButton *preset, bool lit);

// The status line's colour in words, with the system's detail when there is one.
QString statusDescription(const StatusLine &status);
// Whether a screen reader should hear the change from before to after.
bool statusWorthSaying(const StatusLine &before, const StatusLine &after);

// Someone hears the announcements: a screen reader through Qt's bridge, or a
// test's handler. A busy line costs nothing more when nobody does.
bool listening();
// Says that a display line's text changed from before to its current text.
void announceText(QLabel *label, const QString &before);
// Says that a message box has opened.
void announceAlert(QWidget *box);

// Where the announcements go: Qt's bridge by default. Offscreen Qt keeps its
// platform accessibility switched off, so a test hands in its own recorder
// (nullptr: back to the bridge).
using Handler = void (*)(QAccessibleEvent *event);
void setHandler(Handler handler);

} // namespace WindowAccess
