#pragma once

// Stored window geometry checked against the desktop before it is used: a hand-edited or
// corrupted settings file, or a monitor that has gone away, must not give a window larger
// than the screen or one that cannot be seen at all.

#include "launcher/window/WindowLayout.h"

#include <QList>
#include <QString>

#include <optional>

struct DesktopArea {
    QList<TwipRect> screens;  // the available area of each screen (without panels)
    int primary = 0;          // index into screens
};

// Where a window stored at `stored` is shown (any one unit, as long as both agree):
// - a size of nothing (width or height 0 or less) is not applied at all: nothing;
// - the screen it lands on is the one it overlaps most; when it overlaps none it goes to
//   the primary screen, centred there;
// - a window larger than that screen's available area is cut to it and, in the direction
//   it was cut, moved inside it.
// A window that fits and overlaps a screen stays exactly as stored.
std::optional<TwipRect> placeOnDesktop(const TwipRect& stored, const DesktopArea& desktop);

// The split between the file list and the preview frame kept within the window: from 0
// (no file list) to the inner width (no preview).
int clampSplit(int left, int innerWidth);

// How the window gets out of a game's way and comes back, by the window system's name
// (QGuiApplication::platformName()). Wayland has no way for a program to undo a minimise,
// and lets a window come forward only with the compositor's consent: there the window
// hides while the game runs and is shown anew afterwards. Elsewhere it minimises.
enum class LeaveMode { Minimise, Hide };
LeaveMode leaveModeFor(const QString& platformName);
