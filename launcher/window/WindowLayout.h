#pragma once

// Where the main window's controls go, in twips (1/1440 inch) of the window's inner area.
// Pure arithmetic: the window converts the rectangles to pixels when it applies them.

#include <cmath>

struct TwipRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipRect&) const = default;
};

// The design sizes the layout keeps.
struct DesignSizes {
    int emuBoxWidth = 2265;
    int commandLineHeight = 285;
    int browseWidth = 315, browseHeight = 270;
    int creditsWidth = 1695, creditsHeight = 270;
    int driveListHeight = 450;
};

// The bottom row: emulator box, command line box (stretching), browse button, credits
// label flush with the right edge. The heights not given are the controls' own.
struct BottomRow {
    TwipRect cmbEmu;  // left, top, width
    TwipRect txtCommandLine;
    TwipRect btnBrowse;
    TwipRect lblCredits;
};
BottomRow layOutBottomRow(int innerWidth, int innerHeight, const DesignSizes& sizes);

// The split between the file list and the preview frame when none is stored.
inline int defaultSplit(int innerWidth) {
    return static_cast<int>(std::lround(0.6 * innerWidth));
}

// A drag moves the frame only when its edge reaches another 300-twip band, so the panel
// is not laid out again on every mouse move.
bool shotFrameMoves(int currentLeft, int left, bool force);

// The preview frame at left edge `left`, the file list and the folder lists beside it.
struct ShotFrameLayout {
    TwipRect frmShot;
    TwipRect imgShot;  // inside the frame, as is the GIF view that shares it
    TwipRect files;
    TwipRect driveList;  // height is the control's own
    TwipRect dirList;
    int titleWidth = 0;  // lblTitle and lblShadow
};
ShotFrameLayout layOutShotFrame(int left, int innerWidth, int innerHeight, int commandLineTop,
                                const DesignSizes& sizes);

inline int twipsToPixels(int twips, double dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}
inline int pixelsToTwips(int pixels, double dpi) {
    return static_cast<int>(std::lround(pixels * 1440.0 / dpi));
}
