#pragma once

#include "session/statusline.h"

#include <QColor>

class QLabel;
class QPainter;
class QRect;
class QPushButton;
class QWidget;

// The window's colours.
namespace Colors {
inline constexpr QRgb Black = 0x000000;
inline constexpr QRgb White = 0xFFFFFF;
inline constexpr QRgb Red = 0xFF0000;
inline constexpr QRgb DarkRed = 0xC00000;
inline constexpr QRgb Green = 0x00C000;
inline constexpr QRgb Yellow = 0xFFFF00;
inline constexpr QRgb Magenta = 0xFF00FF;
inline constexpr QRgb LightYellow = 0xFFFFC0;
inline constexpr QRgb LightRed = 0xFF8080;
inline constexpr QRgb LightGreen = 0xC0FFC0;

// The desktop's own colours, from the application palette.
QColor buttonFace();
QColor highlight();
QColor inactiveTitle();
// The status line's background for each tone.
QColor ofStatus(StatusTone tone);
} // namespace Colors

// Background colours that really show under Fusion: labels and frames through
// their palette, buttons drawn flat in their colour with a border a shade darker.
void setLabelColors(QLabel *label, const QColor &back, const QColor &text = QColor());
void setFrameColors(QWidget *frame, const QColor &back, const QColor &text);
void setButtonBackColor(QPushButton *button, const QColor &back);

// The window's one style (Fusion, buttons flat) for a control that is not a
// coloured button: it draws the keyboard focus of lines and boxes too.
void useSharedStyle(QWidget *widget);
// The keyboard focus as the shared style draws it over a control of the given
// face: two 2 px rings, black and white (rings 1: only the inner one).
void drawFocusRing(QPainter *painter, const QRect &rect, const QColor &face, int rings = 2);
