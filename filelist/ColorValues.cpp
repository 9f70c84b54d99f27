#include "filelist/ColorValues.h"

namespace {

// System colour numbers (stored in design values with the top bit set) and the palette
// roles that play their part, so stored colours follow the desktop's theme.
QColor systemColor(int index, const QPalette& p) {
    switch (index) {
        case 1:   // desktop
        case 4:   // menu
        case 15:  // button face
        case 3:   // inactive caption
            return p.color(QPalette::Button);
        case 5:  // window
            return p.color(QPalette::Base);
        case 6:   // window frame
        case 16:  // button shadow
            return p.color(QPalette::Dark);
        case 7:   // menu text
        case 18:  // button text
            return p.color(QPalette::ButtonText);
        case 8:  // window text
            return p.color(QPalette::Text);
        case 9:   // caption text
        case 14:  // highlight text
            return p.color(QPalette::HighlightedText);
        case 13:  // highlight
        case 2:   // active caption
            return p.color(QPalette::Highlight);
        case 17:  // grey text
            return p.color(QPalette::Disabled, QPalette::Text);
        case 20:  // 3D highlight
            return p.color(QPalette::Light);
        case 24:  // info background
            return p.color(QPalette::ToolTipBase);
        case 23:  // info text
            return p.color(QPalette::ToolTipText);
        default:
            return p.color(QPalette::Window);
    }
}

}  // namespace

QColor translateColor(quint32 value, const QPalette& palette) {
    if (value & 0x80000000u) return systemColor(static_cast<int>(value & 0xFF), palette);
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

quint32 colorValue(const QColor& color) {
    return static_cast<quint32>(color.red()) | (static_cast<quint32>(color.green()) << 8) |
           (static_cast<quint32>(color.blue()) << 16);
}
