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
    const QString name = m_ui.fileList->fileName();
    const QString folder = withTrailingSeparator(m_ui.fileList->path());
    if (!name.isEmpty()) m_folders.chosenIn.insert(m_ui.fileList->path(), name);
    // The picture search, the arcade titles and the file's date and size all ask the disk,
    // which may be a share that no longer answers: they come from the preview's thread.
    // Meanwhile the panel shows what the name alone says, and the last picture stays.
    PreviewQuestion question;
    question.folder = folder;
    question.name = name;
    question.screenshotFolders = screenshotFolders();
    question.titleContext = {m_emu.current, m_emu.folder, m_emu.systemName};
    const int at = m_ui.fileList->listIndex();
    for (const int row : {at + 1, at - 1})
        if (at >= 0 && row >= 0 && row < m_ui.fileList->listCount())
            question.neighbours << m_ui.fileList->list(row);
    // A games folder that has not answered its listing yet may be a share that hangs;
    // the list's own columns show the length and date meanwhile.
    const FolderList& listed = m_ui.fileList->folderList();
    question.fileFacts = !listed.reading() || listed.namesKnown();
    m_gamePreview->ask(std::move(question));
    if (m_preview.infoOf != folder + name) m_preview.info.clear();
    m_preview.shot.clear();
    m_preview.neighbourShots.clear();
    m_ui.title->setProperty("Tag", QString());
    m_preview.titleText = cleanTitle(name.left(name.size() - extensionOf(name).size()));
    fitTitle();
    m_ui.title->setAccessibleName(m_preview.titleText);
    showGameInfo(name);
}

void MainWindow::previewAnswered(const PreviewAnswer& answer) {
    const QString name = m_ui.fileList->fileName();
    if (answer.name != name || answer.folder != withTrailingSeparator(m_ui.fileList->path()))
        return;
    m_preview.shot = answer.picture.path;
    for (const PreviewPicture& p : answer.neighbours)
        if (!p.path.toLower().endsWith(QLatin1String(".gif")))
            m_preview.neighbourShots.append({p.path, p.stamp});
    m_preview.infoOf = answer.folder + answer.name;
    m_preview.info = answer.fileInfo;
    showPicture(answer.picture);
    // Where to put a picture for the game is the first thing one wants to know.
    const QString hint = answer.picture.path.isEmpty() && !name.isEmpty()
                             ? noPictureHint(screenshotFolders(), QDir::homePath())
                             : QString();
    m_ui.picture->setToolTip(hint);
    m_ui.picture->setAccessibleDescription(hint);
    if (!answer.title.gameNumber.isEmpty()) m_ui.title->setProperty("Tag", answer.title.gameNumber);
    m_preview.titleText = answer.title.title;
    fitTitle();
    // What a screen reader says of the game: its whole title, then its date and size.
    m_ui.title->setAccessibleName(m_preview.titleText);
    showGameInfo(name);
    if (!m_preview.pictures->pending()) readAhead();
}

void MainWindow::showGameInfo(const QString& fileName) {
    const QString info = gameInfoText(fileName);
    m_ui.title->setToolTip(info);
    m_ui.title->setAccessibleDescription(info);
}

QStringList MainWindow::screenshotFolders() const {
    const QString own = setting(QStringLiteral("screenshots"), QString());
    QStringList folders = screenshotFoldersOf(own, m_emu.folder, m_ui.fileList->path());
    // A games folder that has not answered its listing yet may be a share that hangs: its
    // own pictures are looked for once it has.
    const FolderList& listed = m_ui.fileList->folderList();
    if (listed.reading() && !listed.namesKnown()) {
        const QString games = withTrailingSeparator(m_ui.fileList->path());
        folders.removeIf(
            [&](const QString& f) { return f.startsWith(games) || f == coversFolder(games); });
    }
    return folders;
}

void MainWindow::showPicture(const PreviewPicture& found) {
    const QString& shot = found.path;
    if (shot.isEmpty()) {
        // A decode under way belongs to an earlier selection.
        m_preview.pictures->cancel();
        const bool showsDefault =
            m_ui.picture->Picture().cacheKey() == m_ui.defaultPicture->Picture().cacheKey();
        // Browsing through games without pictures leaves the panel alone.
        if (!showsDefault || !m_ui.animation->isHidden()) resetPreview();
        m_preview.shown.clear();
        return;
    }
    // The list raises its item event again when a held key is let go: the picture shown
    // (or on its way) is the right one already, and a GIF would restart.
    if (shot == m_preview.shown) return;

    if (shot.toLower().endsWith(QLatin1String(".gif"))) {
        m_preview.pictures->cancel();
        // Read on the preview's thread: the GIF's share may have stopped answering.
        if (!m_ui.animation->loadGifBytes(found.gifBytes, shot)) {
            // A GIF the view cannot read shows as no picture, not as an empty box.
            resetPreview();
            return;
        }
        m_ui.picture->hide();
        m_ui.animation->show();
        m_ui.animation->setAnimate(true);
        m_ui.animation->setAccessibleName(fileNameOf(shot));
        m_preview.shown = shot;
        return;
    }

    const bool fromGif = !m_ui.animation->isHidden();
    m_ui.animation->unloadGif(true);
    m_ui.animation->hide();
    // The box's own picture belongs to whatever was shown before the GIF.
    if (fromGif) m_ui.picture->setPicture(QPixmap());
    m_preview.shown = shot;
    m_preview.shownStamp = found.stamp;
    m_preview.fullSize = QSize();
    m_preview.pictures->request(shot, shownSize(), found.stamp);
    m_ui.picture->show();
}

void MainWindow::fitTitle() {
    const QFontMetrics metrics = m_ui.title->fontMetrics();
    // As many lines as the title's box holds whole: a line cut at the bottom reads as
    // another word.
    const int lines = std::max(1, m_ui.title->height() / std::max(1, metrics.lineSpacing()));
    const QString fitted =
        fittedTitle(m_preview.titleText, m_ui.title->contentsRect().width(), lines,
                    [&metrics](const QString& line) { return metrics.horizontalAdvance(line); });
    m_ui.title->setText(fitted);
    m_ui.titleShadow->setText(fitted);
    const bool showsDefault =
        m_ui.picture->Picture().cacheKey() == m_ui.defaultPicture->Picture().cacheKey();
    m_ui.picture->setTopMargin(showsDefault ? m_ui.title->y() + m_ui.title->height() : 0);
}

void MainWindow::resetPreview() {
    m_preview.pictures->cancel();
    m_ui.animation->unloadGif(true);
    m_ui.animation->hide();
    m_ui.animation->setAccessibleName(QString());
    m_ui.picture->setPicture(m_ui.defaultPicture->Picture());
    m_ui.picture->setTopMargin(m_ui.title->y() + m_ui.title->height());
    m_ui.picture->setAccessibleName(kNoPicture);
    m_ui.picture->show();
    m_preview.shown.clear();
}

bool MainWindow::picturePending() const {
    return m_gamePreview->pending() || m_preview.pictures->pending();
}

void MainWindow::pictureLoaded(const QString& path, const QImage& picture, const QSize& full) {
    // A picture that does not decode leaves the box visible and empty.
    m_ui.picture->setPicture(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
    m_ui.picture->setTopMargin(0);
    m_ui.picture->setAccessibleName(picture.isNull() ? kNoPicture : fileNameOf(path));
    m_preview.fullSize = full;
    readAhead();
}

void MainWindow::readAhead() {
    m_preview.pictures->readAhead(m_preview.neighbourShots, shownSize());
}

void MainWindow::previewResized() {
    // A picture decoded for a smaller panel would show blurred: decode it again when the
    // panel now has room for more of its pixels.
    if (m_preview.shown.isEmpty() || !m_ui.animation->isHidden() || !m_preview.fullSize.isValid())
        return;
    const QSize now = m_ui.picture->Picture().size();
    const QSize wanted =
        m_preview.fullSize.scaled(shownSize(), Qt::KeepAspectRatio).boundedTo(m_preview.fullSize);
    if (wanted.width() > now.width() + 1 || wanted.height() > now.height() + 1)
        m_preview.pictures->request(m_preview.shown, shownSize(), m_preview.shownStamp);
}

QSize MainWindow::shownSize() const {
    QSize box = m_ui.picture->size() * m_ui.picture->devicePixelRatioF();
    if (box.isEmpty()) {
        // Not laid out yet: no more than the screen could show.
        const QScreen* sc = screen() ? screen() : QGuiApplication::primaryScreen();
        box = sc ? sc->size() * sc->devicePixelRatio() : QSize(1920, 1080);
    }
    return box;
}
