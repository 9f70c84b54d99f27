#pragma once

// Colour values as the view stores them: red in the low byte, green in the second, blue in
// the third; a value with the top bit set names a system colour by its low byte.

#include <QRgb>
#include <QtGlobal>

// The opaque colour a colour value stands for; system colours come from the palette.
QRgb colorToRgb(qint32 value);
qint32 rgbToColor(QRgb rgb);
// Nearest integer, halves to the even neighbour.
int roundHalfEven(double value);
