#include "launcher/window/WindowPlacement.h"

#include <algorithm>

namespace {
// 64-bit, since stored values may be near the ends of the int range.
qint64 overlap(qint64 a, qint64 aLength, qint64 b, qint64 bLength) {
    return std::max<qint64>(0, std::min(a + aLength, b + bLength) - std::max(a, b));
}

// One direction of the placement: position and length within the area [start, start+size).
void fit(int& pos, int& length, int start, int size, bool centre) {
    const int cut = std::min(length, size);
    if (centre)
        pos = start + (size - cut) / 2;
    else if (cut < length)
        pos = std::clamp(pos, start, start + size - cut);
    length = cut;
}
}  // namespace

std::optional<TwipRect> placeOnDesktop(const TwipRect& stored, const DesktopArea& desktop) {
    if (stored.width <= 0 || stored.height <= 0) return std::nullopt;
    const auto usable = [&](int i) {
        return i >= 0 && i < desktop.screens.size() && desktop.screens.at(i).width > 0 &&
               desktop.screens.at(i).height > 0;
    };
    int best = -1;
    qint64 bestArea = 0;
    int fallback = usable(desktop.primary) ? desktop.primary : -1;
    for (int i = 0; i < desktop.screens.size(); ++i) {
        if (!usable(i)) continue;
        if (fallback < 0) fallback = i;
        const TwipRect& s = desktop.screens.at(i);
        const qint64 area = overlap(stored.left, stored.width, s.left, s.width) *
                            overlap(stored.top, stored.height, s.top, s.height);
        if (area > bestArea) {
            bestArea = area;
            best = i;
        }
    }
    if (fallback < 0) return stored;  // no screen to measure against
    const bool offScreen = best < 0;
    if (offScreen) best = fallback;
    const TwipRect& area = desktop.screens.at(best);
    TwipRect shown = stored;
    fit(shown.left, shown.width, area.left, area.width, offScreen);
    fit(shown.top, shown.height, area.top, area.height, offScreen);
    return shown;
}

int clampSplit(int left, int innerWidth) {
    return std::clamp(left, 0, std::max(0, innerWidth));
}

LeaveMode leaveModeFor(const QString& platformName) {
    // "wayland", "wayland-egl", "wayland-xcomposite-glx": every flavour of the plugin.
    return platformName.startsWith(QLatin1String("wayland")) ? LeaveMode::Hide
                                                             : LeaveMode::Minimise;
}
