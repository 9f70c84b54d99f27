// The preview panel: the selected game's picture, title and file facts.

#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/GameTitle.h"
#include "launcher/games/PictureLoader.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {
const QString kNoPicture = QStringLiteral("No picture");
}  // namespace

void MainWindow::Files_ItemClick() {
    const QString name = Files->FileName();
    ShowPicture(FindScreenshot(name));
    const QString info = FileInfoText(withTrailingSeparator(Files->path()) + name);
    lblTitle->setProperty("Tag", QString());
    lblTitle->setText(GameTitle(name));
    lblTitle->setToolTip(info);
    lblShadow->setText(lblTitle->text());
    // What a screen reader says of the game: its title, then its date and size.
    lblTitle->setAccessibleName(lblTitle->text());
    lblTitle->setAccessibleDescription(info);
    if (!PicturePending()) readAhead();
}

QString MainWindow::FindScreenshot(const QString& fileName) {
    const QString own = setting(QStringLiteral("screenshots"), QString());
    return m_screenshots->FindScreenshot(ScreenshotFolders(own, EmulatorFolder, Files->path()),
                                         fileName);
}

QString MainWindow::FindPictureFile(const QString& folder, const QString& fileName) {
    return m_screenshots->FindPictureFile(folder,
                                          fileName.isEmpty() ? Files->FileName() : fileName);
}

QString MainWindow::GameTitle(const QString& fileName) {
    const GameTitleResult found =
        m_titles->GameTitle(fileName, {CurrentEmulator, EmulatorFolder, SystemName});
    if (!found.gameNumber.isEmpty()) lblTitle->setProperty("Tag", found.gameNumber);
    return found.title;
}

void MainWindow::ShowPicture(const QString& shot) {
    if (shot.isEmpty()) {
        // A decode under way belongs to an earlier selection.
        m_pictures->cancel();
        const bool showsDefault = imgShot->Picture().cacheKey() == imgDefault->Picture().cacheKey();
        // Browsing through games without pictures leaves the panel alone.
        if (!showsDefault || !AniGIF->isHidden()) ResetPreview();
        m_shownPicture.clear();
        return;
    }
    // The list raises its item event again when a held key is let go: the picture shown
    // (or on its way) is the right one already, and a GIF would restart.
    if (shot == m_shownPicture) return;

    if (shot.toLower().endsWith(QLatin1String(".gif"))) {
        m_pictures->cancel();
        if (!AniGIF->LoadGIF(shot)) {
            // A GIF the view cannot read shows as no picture, not as an empty box.
            ResetPreview();
            return;
        }
        imgShot->hide();
        AniGIF->show();
        AniGIF->setAnimate(true);
        AniGIF->setAccessibleName(fileNameOf(shot));
        m_shownPicture = shot;
        return;
    }

    const bool fromGif = !AniGIF->isHidden();
    AniGIF->UnloadGIF(true);
    AniGIF->hide();
    // The box's own picture belongs to whatever was shown before the GIF.
    if (fromGif) imgShot->setPicture(QPixmap());
    m_shownPicture = shot;
    m_shownFullSize = QSize();
    m_pictures->request(shot, shownSize());
    imgShot->show();
}

void MainWindow::ResetPreview() {
    m_pictures->cancel();
    AniGIF->UnloadGIF(true);
    AniGIF->hide();
    AniGIF->setAccessibleName(QString());
    imgShot->setPicture(imgDefault->Picture());
    imgShot->setAccessibleName(kNoPicture);
    imgShot->show();
    m_shownPicture.clear();
}

bool MainWindow::PicturePending() const {
    return m_pictures->pending();
}

void MainWindow::pictureLoaded(const QString& path, const QImage& picture, const QSize& full) {
    // A picture that does not decode leaves the box visible and empty.
    imgShot->setPicture(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
    imgShot->setAccessibleName(picture.isNull() ? kNoPicture : fileNameOf(path));
    m_shownFullSize = full;
    readAhead();
}

void MainWindow::readAhead() {
    const int at = Files->ListIndex();
    if (at < 0) return;
    QStringList paths;
    for (const int row : {at + 1, at - 1}) {
        if (row < 0 || row >= Files->ListCount()) continue;
        const QString shot = FindScreenshot(Files->List(row));
        if (!shot.isEmpty() && !shot.toLower().endsWith(QLatin1String(".gif"))) paths << shot;
    }
    m_pictures->readAhead(paths, shownSize());
}

void MainWindow::previewResized() {
    // A picture decoded for a smaller panel would show blurred: decode it again when the
    // panel now has room for more of its pixels.
    if (m_shownPicture.isEmpty() || !AniGIF->isHidden() || !m_shownFullSize.isValid()) return;
    const QSize now = imgShot->Picture().size();
    const QSize wanted =
        m_shownFullSize.scaled(shownSize(), Qt::KeepAspectRatio).boundedTo(m_shownFullSize);
    if (wanted.width() > now.width() + 1 || wanted.height() > now.height() + 1)
        m_pictures->request(m_shownPicture, shownSize());
}

QSize MainWindow::shownSize() const {
    QSize box = imgShot->size() * imgShot->devicePixelRatioF();
    if (box.isEmpty()) {
        // Not laid out yet: no more than the screen could show.
        const QScreen* sc = screen() ? screen() : QGuiApplication::primaryScreen();
        box = sc ? sc->size() * sc->devicePixelRatio() : QSize(1920, 1080);
    }
    return box;
}
