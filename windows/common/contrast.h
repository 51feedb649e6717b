#pragma once

#include <QColor>

// WCAG 2.1's relative luminance: sRGB channels made linear, weighted as the
// eye sees them, from 0 (black) to 1 (white).
double relativeLuminance(const QColor &c);

// WCAG 2.1's contrast ratio of two opaque colours, from 1 (the same) to 21
// (black on white). AA asks 4.5 for text and 3 for lines and other marks.
double contrastRatio(const QColor &a, const QColor &b);

inline constexpr double kTextContrast = 4.5;
inline constexpr double kGraphicsContrast = 3.0;
