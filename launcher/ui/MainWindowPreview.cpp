// The preview panel: the selected game's picture, title and file facts.

#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/GameTitle.h"
#include "launcher/games/PictureLoader.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"

#include <QDir>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <algorithm>

namespace {
const QString kNoPicture = QStringLiteral("No picture");
}  // namespace

void MainWindow::showSelectedGame() {
    const QString name = m_fileList->fileName();
    if (!name.isEmpty()) m_chosenInFolder.insert(m_fileList->path(), name);
    const QString shot = findScreenshot(name);
    showPicture(shot);
    // Where to put a picture for the game is the first thing one wants to know.
    const QString hint = shot.isEmpty() && !name.isEmpty()
                             ? noPictureHint(screenshotFolders(), QDir::homePath())
                             : QString();
    m_picture->setToolTip(hint);
    m_picture->setAccessibleDescription(hint);
    const QString info = gameInfoText(name);
    m_title->setProperty("Tag", QString());
    m_titleText = gameTitle(name);
    fitTitle();
    m_title->setToolTip(info);
    // What a screen reader says of the game: its whole title, then its date and size.
    m_title->setAccessibleName(m_titleText);
    m_title->setAccessibleDescription(info);
    if (!picturePending()) readAhead();
}

QStringList MainWindow::screenshotFolders() const {
    const QString own = setting(QStringLiteral("screenshots"), QString());
    QStringList folders = screenshotFoldersOf(own, m_emulatorFolder, m_fileList->path());
    // A games folder that has not answered its listing yet may be a share that hangs: its
    // own pictures are looked for once it has.
    const FolderList& listed = m_fileList->folderList();
    if (listed.reading() && !listed.namesKnown()) {
        const QString games = withTrailingSeparator(m_fileList->path());
        folders.removeIf(
            [&](const QString& f) { return f.startsWith(games) || f == coversFolder(games); });
    }
    return folders;
}

QString MainWindow::findScreenshot(const QString& fileName) {
    return m_screenshots->screenshotOf(screenshotFolders(), fileName);
}

QString MainWindow::gameTitle(const QString& fileName) {
    const GameTitleResult found =
        m_titles->titleOfGame(fileName, {m_currentEmulator, m_emulatorFolder, m_systemName});
    if (!found.gameNumber.isEmpty()) m_title->setProperty("Tag", found.gameNumber);
    return found.title;
}

void MainWindow::showPicture(const QString& shot) {
    if (shot.isEmpty()) {
        // A decode under way belongs to an earlier selection.
        m_pictures->cancel();
        const bool showsDefault =
            m_picture->Picture().cacheKey() == m_defaultPicture->Picture().cacheKey();
        // Browsing through games without pictures leaves the panel alone.
        if (!showsDefault || !m_animation->isHidden()) resetPreview();
        m_shownPicture.clear();
        return;
    }
    // The list raises its item event again when a held key is let go: the picture shown
    // (or on its way) is the right one already, and a GIF would restart.
    if (shot == m_shownPicture) return;

    if (shot.toLower().endsWith(QLatin1String(".gif"))) {
        m_pictures->cancel();
        if (!m_animation->loadGif(shot)) {
            // A GIF the view cannot read shows as no picture, not as an empty box.
            resetPreview();
            return;
        }
        m_picture->hide();
        m_animation->show();
        m_animation->setAnimate(true);
        m_animation->setAccessibleName(fileNameOf(shot));
        m_shownPicture = shot;
        return;
    }

    const bool fromGif = !m_animation->isHidden();
    m_animation->unloadGif(true);
    m_animation->hide();
    // The box's own picture belongs to whatever was shown before the GIF.
    if (fromGif) m_picture->setPicture(QPixmap());
    m_shownPicture = shot;
    m_shownFullSize = QSize();
    m_pictures->request(shot, shownSize());
    m_picture->show();
}

void MainWindow::fitTitle() {
    const QFontMetrics metrics = m_title->fontMetrics();
    // As many lines as the title's box holds whole: a line cut at the bottom reads as
    // another word.
    const int lines = std::max(1, m_title->height() / std::max(1, metrics.lineSpacing()));
    const QString fitted =
        fittedTitle(m_titleText, m_title->contentsRect().width(), lines,
                    [&metrics](const QString& line) { return metrics.horizontalAdvance(line); });
    m_title->setText(fitted);
    m_titleShadow->setText(fitted);
    const bool showsDefault =
        m_picture->Picture().cacheKey() == m_defaultPicture->Picture().cacheKey();
    m_picture->setTopMargin(showsDefault ? m_title->y() + m_title->height() : 0);
}

void MainWindow::resetPreview() {
    m_pictures->cancel();
    m_animation->unloadGif(true);
    m_animation->hide();
    m_animation->setAccessibleName(QString());
    m_picture->setPicture(m_defaultPicture->Picture());
    m_picture->setTopMargin(m_title->y() + m_title->height());
    m_picture->setAccessibleName(kNoPicture);
    m_picture->show();
    m_shownPicture.clear();
}

bool MainWindow::picturePending() const {
    return m_pictures->pending();
}

void MainWindow::pictureLoaded(const QString& path, const QImage& picture, const QSize& full) {
    // A picture that does not decode leaves the box visible and empty.
    m_picture->setPicture(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
    m_picture->setTopMargin(0);
    m_picture->setAccessibleName(picture.isNull() ? kNoPicture : fileNameOf(path));
    m_shownFullSize = full;
    readAhead();
}

void MainWindow::readAhead() {
    const int at = m_fileList->listIndex();
    if (at < 0) return;
    QStringList paths;
    for (const int row : {at + 1, at - 1}) {
        if (row < 0 || row >= m_fileList->listCount()) continue;
        const QString shot = findScreenshot(m_fileList->list(row));
        if (!shot.isEmpty() && !shot.toLower().endsWith(QLatin1String(".gif"))) paths << shot;
    }
    m_pictures->readAhead(paths, shownSize());
}

void MainWindow::previewResized() {
    // A picture decoded for a smaller panel would show blurred: decode it again when the
    // panel now has room for more of its pixels.
    if (m_shownPicture.isEmpty() || !m_animation->isHidden() || !m_shownFullSize.isValid()) return;
    const QSize now = m_picture->Picture().size();
    const QSize wanted =
        m_shownFullSize.scaled(shownSize(), Qt::KeepAspectRatio).boundedTo(m_shownFullSize);
    if (wanted.width() > now.width() + 1 || wanted.height() > now.height() + 1)
        m_pictures->request(m_shownPicture, shownSize());
}

QSize MainWindow::shownSize() const {
    QSize box = m_picture->size() * m_picture->devicePixelRatioF();
    if (box.isEmpty()) {
        // Not laid out yet: no more than the screen could show.
        const QScreen* sc = screen() ? screen() : QGuiApplication::primaryScreen();
        box = sc ? sc->size() * sc->devicePixelRatio() : QSize(1920, 1080);
    }
    return box;
}
