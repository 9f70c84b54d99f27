// The play history's side of the window: the list's play columns, Ctrl+D and Ctrl+F, and
// the line that says what keeps files out of the list.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>

void MainWindow::connectHistory() {
    // Filled in before each listing, so the favourites-only listing and the columns read
    // the history as it is when the folder is read.
    m_ui.fileList->folderList().beforeListing = [this](const QString& folder) {
        m_ui.fileList->model().setPlayFacts(
            m_services.history ? m_services.history->factsForFolder(folder) : PlayFactsByName());
        // The folder's journals are read in behind the listing; `changed` brings the news.
        if (m_services.history) m_services.history->folderListed(folder);
    };
    if (!m_services.history) return;
    m_services.history->changed = [this] {
        refreshPlayColumns();
        showFileCount();  // a journal that cannot be written is said in the tip
    };
    m_services.history->failed = [this](const QString& text) {
        // From the event loop: the failure may come from within a key's handler or a poll.
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                m_services.dialogs->messageBox(text, platform::MessageButtons::Ok,
                                               platform::MessageIcon::Warning,
                                               QStringLiteral("Play History"));
            },
            Qt::QueuedConnection);
    };
}

void MainWindow::refreshPlayColumns() {
    if (!m_services.history || m_ui.fileList->path().isEmpty()) return;
    m_ui.fileList->model().setPlayFacts(
        m_services.history->factsForFolder(withTrailingSeparator(m_ui.fileList->path())));
}

bool MainWindow::toggleFavourite() {
    if (!m_services.history || m_ui.fileList->listIndex() < 0) return true;
    const QString name = m_ui.fileList->fileName();
    if (!m_services.history->toggleFavourite(withTrailingSeparator(m_ui.fileList->path()) + name))
        return true;
    // Unmarked while only favourites show: the game leaves the list.
    if (m_ui.fileList->folderList().favouritesOnly()) refreshFileList(name);
    return true;
}

bool MainWindow::toggleFavouritesOnly() {
    FolderList& folder = m_ui.fileList->folderList();
    folder.setFavouritesOnly(!folder.favouritesOnly());
    refreshFileList(m_ui.fileList->listIndex() >= 0 ? m_ui.fileList->fileName() : QString());
    return true;
}

QString MainWindow::fileCountTip() {
    // While a folder is read in the background, what the list knows of it.
    const FolderList& folder = m_ui.fileList->folderList();
    if (folder.reading() && !folder.readingStatus().isEmpty()) return folder.readingStatus();
    const int count = m_ui.fileList->listCount();
    QString tip =
        m_ui.fileList->folderList().favouritesOnly()
            ? QString::number(count) +
                  (count == 1 ? QStringLiteral(" Favourite") : QStringLiteral(" Favourites")) +
                  QStringLiteral(" (Ctrl+F shows all files)")
            : QString::number(count) + QStringLiteral(" Files");
    if (!folder.readingStatus().isEmpty()) tip += QStringLiteral(" - ") + folder.readingStatus();
    if (m_services.history) {
        const QString notice = m_services.history->takeNotice();
        if (!notice.isEmpty()) tip += QStringLiteral(" - ") + notice;
    }
    return tip;
}

QString MainWindow::activeFiltersText() const {
    QStringList parts;
    if (m_ui.fileList->folderList().favouritesOnly())
        parts << QStringLiteral("Favourites only (Ctrl+F shows all files)");
    if (const int hidden = m_ui.fileList->folderList().hiddenByList(); hidden > 0)
        parts << (hidden == 1 ? QStringLiteral("1 file hidden")
                              : QStringLiteral("%1 files hidden").arg(hidden)) +
                     QStringLiteral(" (F4 with an empty pattern shows them)");
    return parts.join(QStringLiteral(" - "));
}

void MainWindow::showActiveFilters() {
    const QString text = activeFiltersText();
    if (!m_ui.filtersLine) {
        if (text.isEmpty()) return;
        m_ui.filtersLine = new QLabel(this);
        m_ui.filtersLine->setObjectName(QStringLiteral("lblFilters"));
        m_ui.filtersLine->setAccessibleName(QStringLiteral("List filters"));
        m_ui.filtersLine->setAutoFillBackground(true);
        m_ui.filtersLine->setMargin(2);
        m_ui.filtersLine->setFont(m_ui.commandLine->font());
        QPalette look = m_ui.filtersLine->palette();
        look.setColor(QPalette::Window, QColor(36, 52, 72));
        look.setColor(QPalette::WindowText, QColor(236, 209, 62));
        m_ui.filtersLine->setPalette(look);
    }
    const bool changed =
        m_ui.filtersLine->text() != text || m_ui.filtersLine->isHidden() != text.isEmpty();
    m_ui.filtersLine->setText(text);
    m_ui.filtersLine->setToolTip(text);
    if (changed) placeFilesAndFilters();
}
