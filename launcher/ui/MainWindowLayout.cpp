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

#include <algorithm>

void MainWindow::layOutControls() {
    const int W = innerWidth(), H = innerHeight();
    const BottomRow row = layOutBottomRow(W, H, m_layout.design);
    moveTwips(m_ui.emulatorBox, row.cmbEmu);
    moveTwips(m_ui.credits, row.lblCredits);
    moveTwips(m_ui.browseButton, row.btnBrowse);
    moveTwips(m_ui.commandLine, row.txtCommandLine);
    const int fallback = defaultSplit(W);
    // A stored split outside the window (a drag past its edge, a hand edit) would hide the
    // file list or the preview for good.
    const int x =
        clampSplit(readWholeNumber(setting(QStringLiteral("imageleft"), QString::number(fallback)))
                       .value_or(fallback),
                   W);
    // The frame placement also lays out the file list and the folder lists beside it.
    placePreviewFrame(x, true);
}

void MainWindow::placePreviewFrame(int left, bool force) {
    if (!shotFrameMoves(twips(m_ui.previewFrame).left, left, force)) return;
    const ShotFrameLayout l = layOutShotFrame(left, innerWidth(), innerHeight(),
                                              twips(m_ui.commandLine).top, m_layout.design);
    m_ui.title->hide();
    m_ui.titleShadow->hide();
    m_ui.picture->hide();
    moveTwips(m_ui.previewFrame, l.frmShot);
    moveTwips(m_ui.picture, l.imgShot);
    moveTwips(m_ui.animation, l.imgShot);
    moveTwips(m_ui.fileList, l.files);
    m_layout.filesArea = m_ui.fileList->geometry();
    placeFilesAndFilters();
    m_ui.fileList->setBackColor(0);
    moveTwips(m_ui.driveList, l.driveList);
    moveTwips(m_ui.folderList, l.dirList);
    m_ui.driveList->hide();
    m_ui.folderList->hide();
    setTwipsWidth(m_ui.title, l.titleWidth);
    setTwipsWidth(m_ui.titleShadow, l.titleWidth);
    // A GIF on show covers the box; the box would show an earlier picture through it.
    m_ui.picture->setVisible(m_ui.animation->isHidden());
    m_ui.titleShadow->show();
    m_ui.title->show();
}

void MainWindow::startPreviewDrag(int x) {
    m_layout.dragStartX = x;
}

void MainWindow::dragPreview(int x) {
    placePreviewFrame(
        clampSplit(twips(m_ui.previewFrame).left + x - m_layout.dragStartX, innerWidth()), false);
}

void MainWindow::endPreviewDrag() {
    // The frame may have been placed outside the window before this drag (a smaller window
    // since): what ends the drag, and what is stored, lies within it.
    const int left = clampSplit(twips(m_ui.previewFrame).left, innerWidth());
    if (left != twips(m_ui.previewFrame).left) placePreviewFrame(left, true);
    if (m_emu.current.isEmpty()) return;
    // The text form of the number, e.g. "6291".
    saveSetting(QStringLiteral("imageleft"), QString::number(left));
}

void MainWindow::placeFilesAndFilters() {
    if (m_layout.filesArea.isNull()) return;
    const bool shown = m_ui.filtersLine && !m_ui.filtersLine->text().isEmpty();
    if (!shown) {
        if (m_ui.filtersLine) m_ui.filtersLine->hide();
        m_ui.fileList->setGeometry(m_layout.filesArea);
        return;
    }
    // Under the list rather than over it: the last row stays in sight.
    const int h = std::min(m_ui.filtersLine->sizeHint().height(), m_layout.filesArea.height() / 2);
    m_ui.fileList->setGeometry(m_layout.filesArea.adjusted(0, 0, 0, -h));
    m_ui.filtersLine->setGeometry(m_layout.filesArea.left(), m_layout.filesArea.bottom() + 1 - h,
                                  m_layout.filesArea.width(), h);
    m_ui.filtersLine->show();
    m_ui.filtersLine->raise();
}
