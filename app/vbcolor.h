#pragma once

#include <QColor>
#include <QPalette>

class QLabel;
class QPushButton;
class QWidget;

// Colours written &H00BBGGRR; &H800000nn are system colours taken from the palette.
namespace VbColor {
inline constexpr quint32 Black = 0x000000;
inline constexpr quint32 White = 0xFFFFFF;
inline constexpr quint32 LightYellow = 0xC0FFFF;
inline constexpr quint32 LightRed = 0x8080FF;
inline constexpr quint32 LightGreen = 0xC0FFC0;
inline constexpr quint32 Green = 0x00C000;
inline constexpr quint32 Red = 0x0000FF;
inline constexpr quint32 Yellow = 0x00FFFF;
inline constexpr quint32 Cyan = 0xFFFF00;
inline constexpr quint32 Magenta = 0xFF00FF;
inline constexpr quint32 DarkRed = 0x0000C0;
inline constexpr quint32 InactiveTitleBar = 0x80000003;
inline constexpr quint32 Highlight = 0x8000000D;
inline constexpr quint32 ButtonFace = 0x8000000F;
} // namespace VbColor

QColor vbColor(quint32 code, const QPalette &palette = QPalette());

// Background colours that really show under Fusion: labels through their
// palette, buttons through a one-line style sheet with an explicit border.
void setLabelColors(QLabel *label, const QColor &back, const QColor &text = QColor());
void setButtonBackColor(QPushButton *button, const QColor &back);
QColor buttonBackColor(const QPushButton *button);
void setFrameColors(QWidget *frame, const QColor &back, const QColor &text);
