#include "gifview/GifColors.h"

#include <QGuiApplication>
#include <QPalette>

#include <cmath>

namespace {

// System colour numbers (stored with the top bit set), mapped to the palette roles that
// play their part, so stored colours follow the desktop's theme.
QRgb systemColor(int number) {
    const QPalette palette = QGuiApplication::palette();
    QPalette::ColorRole role = QPalette::Button;
    QPalette::ColorGroup group = QPalette::Active;
    switch (number) {
        case 1:   // desktop
        case 12:  // application workspace
            role = QPalette::Dark;
            break;
        case 2:   // active caption
        case 13:  // highlight
            role = QPalette::Highlight;
            break;
        case 3:  // inactive caption
            role = QPalette::Highlight;
            group = QPalette::Inactive;
            break;
        case 5:  // window
            role = QPalette::Base;
            break;
        case 6:   // window frame
        case 21:  // dark 3-D shadow
            role = QPalette::Shadow;
            break;
        case 7:  // menu text
        case 8:  // window text
            role = QPalette::Text;
            break;
        case 9:   // caption text
        case 14:  // highlighted text
            role = QPalette::HighlightedText;
            break;
        case 16:  // button shadow
            role = QPalette::Mid;
            break;
        case 17:  // grey text
            role = QPalette::PlaceholderText;
            break;
        case 18:  // button text
            role = QPalette::ButtonText;
            break;
        case 20:  // button highlight
            role = QPalette::Light;
            break;
        case 22:  // 3-D light
            role = QPalette::Midlight;
            break;
        case 23:  // tooltip text
            role = QPalette::ToolTipText;
            break;
        case 24:  // tooltip background
            role = QPalette::ToolTipBase;
            break;
        default:  // 0, 4, 10, 11, 15, 19 and beyond: the face of controls
            break;
    }
    return palette.color(group, role).rgb() | 0xFF000000u;
}

}  // namespace

QRgb colorToRgb(qint32 value) {
    if (value < 0) return systemColor(value & 0xFF);
    return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

qint32 rgbToColor(QRgb rgb) {
    return qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16);
}

int roundHalfEven(double value) {
    // The default floating-point rounding mode rounds halves to even.
    const double r = std::nearbyint(value);
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(r);
}
