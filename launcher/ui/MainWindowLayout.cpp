// Where the controls go when the window changes size, and the movable preview frame.

#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"
#include "launcher/window/WindowPlacement.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

void MainWindow::Form_Resize() {
    const int W = ScaleWidth(), H = ScaleHeight();
    const BottomRow row = LayOutBottomRow(W, H, m_design);
    moveTwips(cmbEmu, row.cmbEmu);
    moveTwips(lblCredits, row.lblCredits);
    moveTwips(btnBrowse, row.btnBrowse);
    moveTwips(txtCommandLine, row.txtCommandLine);
    const int fallback = DefaultSplit(W);
    // A stored split outside the window (a drag past its edge, a hand edit) would hide the
    // file list or the preview for good.
    const int x =
        ClampSplit(ReadWholeNumber(setting(QStringLiteral("imageleft"), QString::number(fallback)))
                       .value_or(fallback),
                   W);
    // The frame placement also lays out the file list and the folder lists beside it.
    PlaceShotFrame(x, true);
}

void MainWindow::PlaceShotFrame(int left, bool force) {
    if (!ShotFrameMoves(twips(frmShot).left, left, force)) return;
    const ShotFrameLayout l =
        LayOutShotFrame(left, ScaleWidth(), ScaleHeight(), twips(txtCommandLine).top, m_design);
    lblTitle->hide();
    lblShadow->hide();
    imgShot->hide();
    moveTwips(frmShot, l.frmShot);
    moveTwips(imgShot, l.imgShot);
    moveTwips(AniGIF, l.imgShot);
    moveTwips(Files, l.files);
    Files->setBackColor(0);
    moveTwips(driveList, l.driveList);
    moveTwips(dirList, l.dirList);
    driveList->hide();
    dirList->hide();
    setTwipsWidth(lblTitle, l.titleWidth);
    setTwipsWidth(lblShadow, l.titleWidth);
    // A GIF on show covers the box; the box would show an earlier picture through it.
    imgShot->setVisible(AniGIF->isHidden());
    lblShadow->show();
    lblTitle->show();
}

void MainWindow::frmShot_MouseDown(int, int, float x, float) {
    ShotDragStartX = qRound(x);
}

void MainWindow::frmShot_MouseMove(int Button, int, float x, float) {
    if (Button != 1) return;
    PlaceShotFrame(ClampSplit(qRound(twips(frmShot).left + x - ShotDragStartX), ScaleWidth()),
                   false);
}

void MainWindow::frmShot_MouseUp(int, int, float, float) {
    // The frame may have been placed outside the window before this drag (a smaller window
    // since): what ends the drag, and what is stored, lies within it.
    const int left = ClampSplit(twips(frmShot).left, ScaleWidth());
    if (left != twips(frmShot).left) PlaceShotFrame(left, true);
    if (CurrentEmulator.isEmpty()) return;
    // The text form of the number, e.g. "6291".
    saveSetting(QStringLiteral("imageleft"), QString::number(left));
}
