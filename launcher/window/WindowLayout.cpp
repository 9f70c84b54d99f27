#include "launcher/window/WindowLayout.h"

BottomRow layOutBottomRow(int innerWidth, int innerHeight, const DesignSizes& s) {
    BottomRow row;
    const int top = innerHeight - s.commandLineHeight;
    row.cmbEmu = {0, top, s.emuBoxWidth, s.commandLineHeight};
    row.lblCredits = {innerWidth - s.creditsWidth, top, s.creditsWidth, s.creditsHeight};
    row.btnBrowse = {row.lblCredits.left - s.browseWidth, top, s.browseWidth, s.browseHeight};
    row.txtCommandLine = {s.emuBoxWidth, top, row.btnBrowse.left - s.emuBoxWidth,
                          s.commandLineHeight};
    return row;
}

bool shotFrameMoves(int currentLeft, int left, bool force) {
    // Integer division truncates toward zero, as the band arithmetic asks.
    return force || currentLeft / 300 != left / 300;
}

ShotFrameLayout layOutShotFrame(int left, int innerWidth, int innerHeight, int commandLineTop,
                                const DesignSizes& s) {
    ShotFrameLayout l;
    const int w = innerWidth - left;
    const int frameHeight = commandLineTop - 15;
    l.frmShot = {left, 0, w, frameHeight};
    l.imgShot = {0, 0, w, frameHeight};
    l.files = {0, 0, left, innerHeight - s.commandLineHeight};
    l.driveList = {0, 0, left, s.driveListHeight};
    l.dirList = {0, s.driveListHeight, left, innerHeight - s.commandLineHeight - s.driveListHeight};
    l.titleWidth = w;
    return l;
}
