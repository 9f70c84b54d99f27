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
    const BottomRow row = layOutBottomRow(W, H, m_design);
    moveTwips(m_emulatorBox, row.cmbEmu);
    moveTwips(m_credits, row.lblCredits);
    moveTwips(m_browseButton, row.btnBrowse);
    moveTwips(m_commandLine, row.txtCommandLine);
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
    if (!shotFrameMoves(twips(m_previewFrame).left, left, force)) return;
    const ShotFrameLayout l =
        layOutShotFrame(left, innerWidth(), innerHeight(), twips(m_commandLine).top, m_design);
    m_title->hide();
    m_titleShadow->hide();
    m_picture->hide();
    moveTwips(m_previewFrame, l.frmShot);
    moveTwips(m_picture, l.imgShot);
    moveTwips(m_animation, l.imgShot);
    moveTwips(m_fileList, l.files);
    m_filesArea = m_fileList->geometry();
    placeFilesAndFilters();
    m_fileList->setBackColor(0);
    moveTwips(m_driveList, l.driveList);
    moveTwips(m_folderList, l.dirList);
    m_driveList->hide();
    m_folderList->hide();
    setTwipsWidth(m_title, l.titleWidth);
    setTwipsWidth(m_titleShadow, l.titleWidth);
    // A GIF on show covers the box; the box would show an earlier picture through it.
    m_picture->setVisible(m_animation->isHidden());
    m_titleShadow->show();
    m_title->show();
}

void MainWindow::startPreviewDrag(int x) {
    m_previewDragStartX = x;
}

void MainWindow::dragPreview(int x) {
    placePreviewFrame(
        clampSplit(twips(m_previewFrame).left + x - m_previewDragStartX, innerWidth()), false);
}

void MainWindow::endPreviewDrag() {
    // The frame may have been placed outside the window before this drag (a smaller window
    // since): what ends the drag, and what is stored, lies within it.
    const int left = clampSplit(twips(m_previewFrame).left, innerWidth());
    if (left != twips(m_previewFrame).left) placePreviewFrame(left, true);
    if (m_currentEmulator.isEmpty()) return;
    // The text form of the number, e.g. "6291".
    saveSetting(QStringLiteral("imageleft"), QString::number(left));
}

void MainWindow::placeFilesAndFilters() {
    if (m_filesArea.isNull()) return;
    const bool shown = m_filtersLine && !m_filtersLine->text().isEmpty();
    if (!shown) {
        if (m_filtersLine) m_filtersLine->hide();
        m_fileList->setGeometry(m_filesArea);
        return;
    }
    // Under the list rather than over it: the last row stays in sight.
    const int h = std::min(m_filtersLine->sizeHint().height(), m_filesArea.height() / 2);
    m_fileList->setGeometry(m_filesArea.adjusted(0, 0, 0, -h));
    m_filtersLine->setGeometry(m_filesArea.left(), m_filesArea.bottom() + 1 - h,
                               m_filesArea.width(), h);
    m_filtersLine->show();
    m_filtersLine->raise();
}
