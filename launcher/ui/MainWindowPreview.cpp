// The preview panel: the selected game's picture, title and file facts.

#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/GamePreview.h"
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
    const QString name = m_fileList->FileName();
    const QString folder = withTrailingSeparator(m_fileList->path());
    if (!name.isEmpty()) m_chosenInFolder.insert(m_fileList->path(), name);
    // The picture search, the arcade titles and the file's date and size all ask the disk,
    // which may be a share that no longer answers: they come from the preview's thread.
    // Meanwhile the panel shows what the name alone says, and the last picture stays.
    PreviewQuestion question;
    question.folder = folder;
    question.name = name;
    question.screenshotFolders = screenshotFolders();
    question.titleContext = {m_currentEmulator, m_emulatorFolder, m_systemName};
    const int at = m_fileList->ListIndex();
    for (const int row : {at + 1, at - 1})
        if (at >= 0 && row >= 0 && row < m_fileList->ListCount())
            question.neighbours << m_fileList->List(row);
    // A games folder that has not answered its listing yet may be a share that hangs;
    // the list's own columns show the length and date meanwhile.
    const FolderList& listed = m_fileList->folderList();
    question.fileFacts = !listed.reading() || listed.namesKnown();
    m_preview->ask(std::move(question));
    if (m_fileInfoOf != folder + name) m_fileInfo.clear();
    m_previewShot.clear();
    m_neighbourShots.clear();
    m_title->setProperty("Tag", QString());
    m_titleText = CleanTitle(name.left(name.size() - extensionOf(name).size()));
    fitTitle();
    m_title->setAccessibleName(m_titleText);
    showGameInfo(name);
}

void MainWindow::previewAnswered(const PreviewAnswer& answer) {
    const QString name = m_fileList->FileName();
    if (answer.name != name || answer.folder != withTrailingSeparator(m_fileList->path())) return;
    m_previewShot = answer.picture.path;
    for (const PreviewPicture& p : answer.neighbours)
        if (!p.path.toLower().endsWith(QLatin1String(".gif")))
            m_neighbourShots.append({p.path, p.stamp});
    m_fileInfoOf = answer.folder + answer.name;
    m_fileInfo = answer.fileInfo;
    showPicture(answer.picture.path, answer.picture.stamp);
    // Where to put a picture for the game is the first thing one wants to know.
    const QString hint = answer.picture.path.isEmpty() && !name.isEmpty()
                             ? NoPictureHint(screenshotFolders(), QDir::homePath())
                             : QString();
    m_picture->setToolTip(hint);
    m_picture->setAccessibleDescription(hint);
    if (!answer.title.gameNumber.isEmpty()) m_title->setProperty("Tag", answer.title.gameNumber);
    m_titleText = answer.title.title;
    fitTitle();
    // What a screen reader says of the game: its whole title, then its date and size.
    m_title->setAccessibleName(m_titleText);
    showGameInfo(name);
    if (!m_pictures->pending()) readAhead();
}

void MainWindow::showGameInfo(const QString& fileName) {
    const QString info = gameInfoText(fileName);
    m_title->setToolTip(info);
    m_title->setAccessibleDescription(info);
}

QStringList MainWindow::screenshotFolders() const {
    const QString own = setting(QStringLiteral("screenshots"), QString());
    QStringList folders = ScreenshotFolders(own, m_emulatorFolder, m_fileList->path());
    // A games folder that has not answered its listing yet may be a share that hangs: its
    // own pictures are looked for once it has.
    const FolderList& listed = m_fileList->folderList();
    if (listed.reading() && !listed.namesKnown()) {
        const QString games = withTrailingSeparator(m_fileList->path());
        folders.removeIf(
            [&](const QString& f) { return f.startsWith(games) || f == CoversFolder(games); });
    }
    return folders;
}

void MainWindow::showPicture(const QString& shot, const QString& stamp) {
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
        if (!m_animation->LoadGIF(shot)) {
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
    m_animation->UnloadGIF(true);
    m_animation->hide();
    // The box's own picture belongs to whatever was shown before the GIF.
    if (fromGif) m_picture->setPicture(QPixmap());
    m_shownPicture = shot;
    m_shownStamp = stamp;
    m_shownFullSize = QSize();
    m_pictures->request(shot, shownSize(), stamp);
    m_picture->show();
}

void MainWindow::fitTitle() {
    const QFontMetrics metrics = m_title->fontMetrics();
    // As many lines as the title's box holds whole: a line cut at the bottom reads as
    // another word.
    const int lines = std::max(1, m_title->height() / std::max(1, metrics.lineSpacing()));
    const QString fitted =
        FittedTitle(m_titleText, m_title->contentsRect().width(), lines,
                    [&metrics](const QString& line) { return metrics.horizontalAdvance(line); });
    m_title->setText(fitted);
    m_titleShadow->setText(fitted);
    const bool showsDefault =
        m_picture->Picture().cacheKey() == m_defaultPicture->Picture().cacheKey();
    m_picture->setTopMargin(showsDefault ? m_title->y() + m_title->height() : 0);
}

void MainWindow::resetPreview() {
    m_pictures->cancel();
    m_animation->UnloadGIF(true);
    m_animation->hide();
    m_animation->setAccessibleName(QString());
    m_picture->setPicture(m_defaultPicture->Picture());
    m_picture->setTopMargin(m_title->y() + m_title->height());
    m_picture->setAccessibleName(kNoPicture);
    m_picture->show();
    m_shownPicture.clear();
}

bool MainWindow::picturePending() const {
    return m_preview->pending() || m_pictures->pending();
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
    m_pictures->readAhead(m_neighbourShots, shownSize());
}

void MainWindow::previewResized() {
    // A picture decoded for a smaller panel would show blurred: decode it again when the
    // panel now has room for more of its pixels.
    if (m_shownPicture.isEmpty() || !m_animation->isHidden() || !m_shownFullSize.isValid()) return;
    const QSize now = m_picture->Picture().size();
    const QSize wanted =
        m_shownFullSize.scaled(shownSize(), Qt::KeepAspectRatio).boundedTo(m_shownFullSize);
    if (wanted.width() > now.width() + 1 || wanted.height() > now.height() + 1)
        m_pictures->request(m_shownPicture, shownSize(), m_shownStamp);
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
