#pragma once

// Colour values as the controls store them: red in the low byte, green, blue; with the top
// bit set, the low byte names a system colour (0x80000005 window, 0x80000008 window text).

#include <QColor>
#include <QPalette>

QColor translateColor(quint32 value, const QPalette& palette = QPalette());
quint32 colorValue(const QColor& color);
