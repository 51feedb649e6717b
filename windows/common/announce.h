#pragma once

class QLabel;
class QString;

// What any window says to assistive technology beyond its fixed names: the
// changes worth hearing (a message box alerts by itself as it shows). Every event goes through QAccessible,
// so a test hears them with QAccessible::installUpdateHandler.
namespace ScreenReader {

// Someone hears the announcements (a screen reader through Qt's bridge):
// a busy line costs nothing more when nobody does.
bool listening();
// Says that a display line's text changed from before to its current text.
void announceText(QLabel *label, const QString &before);

} // namespace ScreenReader
