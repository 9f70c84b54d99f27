// The drive and folder lists, the folder picker and the browsing layout.

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/ui/FileCommands.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"
#include "launcher/window/FolderLooks.h"
#include "launcher/window/FolderNavigation.h"
#include "launcher/window/KeyCommands.h"
#include "launcher/window/StartFolder.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/Volumes.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>

namespace {
constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 12;

// Indents each row by its depth, so the ancestors read as a path down to the folder and
// its sub-folders hang below it.
class FolderRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->rect.adjust(index.data(kDepthRole).toInt() * kIndentPixels, 0, 0, 0);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        return {size.width() + index.data(kDepthRole).toInt() * kIndentPixels, size.height()};
    }
};
}  // namespace

void MainWindow::connectNavigation() {
    m_ui.folderList->setItemDelegate(new FolderRowDelegate(m_ui.folderList));
    m_ui.folderList->setSelectionMode(QAbstractItemView::SingleSelection);
    // Asking a volume whether it is ready waits for a share that does not answer.
    m_folderLooks->ask(QStringLiteral("/"), true,
                       [this](const FolderLook& look) { fillDrives(look.drives); });
    connect(m_ui.driveList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) openSelectedDrive();
    });
    connect(m_ui.folderList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { setFolderListPath(item->data(kPathRole).toString()); });
    connect(m_ui.browseButton, &QPushButton::clicked, this, [this] { browseForFolder(); });
    connect(m_ui.fileList, &FileListView::columnClick, this,
            [this](int column) { m_ui.fileList->sortFilesByColumnClick(column); });
    // A right click on the list opens its folder on the desktop.
    connect(m_ui.fileList, &FileListView::mouseDown, this, [this](int button, int, float, float) {
        if (button == mouseButtonCode(Qt::RightButton) && !m_ui.fileList->path().isEmpty())
            m_services.shell->open(m_ui.fileList->path());
    });
    for (QObject* o :
         std::initializer_list<QObject*>{m_ui.driveList, m_ui.folderList, m_ui.browseButton})
        o->installEventFilter(this);
}

bool MainWindow::handleNavigationKey(QObject* watched, QKeyCombination key) {
    const KeyContext context{m_ui.fileList->listCount() > 0, atVolumeRoot()};
    const KeyCommand command = watched == m_ui.folderList
                                   ? commandFor(folderListKeys(), key, context)
                               : watched == m_ui.driveList ? commandFor(driveListKeys(), key)
                                                           : commandFor(browseButtonKeys(), key);
    switch (command) {
        case KeyCommand::FocusFiles:
            focusFiles();
            break;
        case KeyCommand::FocusFolders:
            m_ui.folderList->setFocus();
            break;
        case KeyCommand::FocusDrives:
            m_ui.driveList->setFocus();
            break;
        case KeyCommand::FocusCommandLine:
            m_ui.commandLine->setFocus();
            break;
        case KeyCommand::OpenHighlightedFolder:
            setFolderListPath(folderAtRow(m_ui.folderList->currentRow()));
            break;
        case KeyCommand::UpOneLevel:
            setFolderListPath(upOneLevel(m_folders.listPath));
            break;
        case KeyCommand::ToggleFolderLists:
            // As Escape on the file list, with its closing step.
            handleFileListKey(key);
            break;
        default:
            return false;
    }
    return true;
}

void MainWindow::fillDrives(const QList<platform::Drive>& drives) {
    const QSignalBlocker quiet(m_ui.driveList);
    const QString current = selectedDrive();
    m_ui.driveList->clear();
    for (const platform::Drive& d : drives) {
        const QString shown =
            d.name.isEmpty() ? d.root : d.root + QStringLiteral("  (") + d.name + QLatin1Char(')');
        m_ui.driveList->addItem(shown, d.root);
    }
    selectDrive(current);
}

QString MainWindow::selectedDrive() const {
    return m_ui.driveList->currentData().toString();
}

void MainWindow::selectDrive(const QString& root) {
    const int index = m_ui.driveList->findData(withTrailingSeparator(root));
    if (index < 0) return;
    const QSignalBlocker quiet(m_ui.driveList);
    m_ui.driveList->setCurrentIndex(index);
}

void MainWindow::selectDriveOf(const QString& folder) {
    // The longest volume root the list shows that holds the folder: the volumes are asked
    // only when the lists open, since asking waits for every share that does not answer.
    const QString path = withTrailingSeparator(folder);
    QString best;
    for (int i = 0; i < m_ui.driveList->count(); ++i) {
        const QString root = m_ui.driveList->itemData(i).toString();
        if (path.startsWith(root) && root.size() > best.size()) best = root;
    }
    if (!best.isEmpty()) selectDrive(best);
}

bool MainWindow::atVolumeRoot() const {
    return m_ui.driveList->findData(withTrailingSeparator(m_folders.listPath)) >= 0;
}

QString MainWindow::folderListPath() const {
    return m_folders.listPath;
}

void MainWindow::setFolderListPath(const QString& path) {
    enterFolder(path, false);
}

void MainWindow::enterFolder(const QString& path, bool mustList) {
    const QString folder = folderPathOf(path);
    if (folder.isEmpty()) return;
    // The way down to the folder shows at once, and the next key moves on from there;
    // whether it can be entered and its sub-folders come from a thread, since any folder
    // may be on a share that does not answer.
    if (folder != m_folders.listPath) {
        m_folders.listPath = folder;
        showFolderRows(ancestorRowsOf(folder));
    }
    m_folderLooks->ask(folder, false,
                       [this, mustList](const FolderLook& look) { folderLooked(look, mustList); });
}

void MainWindow::folderLooked(const FolderLook& look, bool mustList) {
    if (!look.drives.isEmpty()) fillDrives(look.drives);
    if (m_ui.folderList->isHidden() || look.folder != m_folders.listPath) return;
    if (mustList ? look.listable : look.enterable) {
        m_folders.entered = look.folder;
        m_folders.enteredRows = look.rows;
        selectDriveOf(look.folder);
        showFolderRows(look.rows);
        // The file list follows the folder list to another folder.
        if (look.folder != folderPathOf(m_ui.fileList->path())) listFilesOfFolderList();
        return;
    }
    if (look.folder == m_folders.entered) {
        // Gone since it was entered: its ancestors stay, to go up from.
        showFolderRows(look.rows);
        return;
    }
    if (m_folders.entered.isEmpty()) {
        // The lists opened on a folder that is gone: its volume's root instead.
        selectDriveOf(look.folder);
        setFolderListPath(selectedDrive());
        return;
    }
    // A folder that cannot be entered leaves everything as it was.
    m_folders.listPath = m_folders.entered;
    showFolderRows(m_folders.enteredRows);
    selectDriveOf(m_folders.entered);
}

void MainWindow::refreshFolderList() {
    enterFolder(m_folders.listPath, false);
}

bool MainWindow::folderListsPending() const {
    return m_folderLooks->pending();
}

bool MainWindow::fileCommandPending() const {
    return m_commands->oneFilePending();
}

void MainWindow::showFolderRows(const FolderRows& listed) {
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    m_ui.folderList->setUpdatesEnabled(false);
    m_ui.folderList->clear();
    for (const FolderRow& row : listed.rows) {
        auto* item = new QListWidgetItem(row.open ? open : closed, row.name);
        item->setData(kPathRole, row.path);
        item->setData(kDepthRole, row.depth);
        m_ui.folderList->addItem(item);
    }
    m_ui.folderList->setCurrentRow(listed.current);
    m_ui.folderList->setUpdatesEnabled(true);
}

QString MainWindow::folderAtRow(int index) const {
    const QListWidgetItem* item = m_ui.folderList->item(index);
    return item ? item->data(kPathRole).toString() : m_folders.listPath;
}

void MainWindow::openSelectedDrive() {
    // A volume gone or unreadable since the list was filled leaves the folder list where
    // it was, and the drive list goes back to the volume that folder is on.
    enterFolder(selectedDrive(), true);
}

void MainWindow::listFilesOfFolderList() {
    m_ui.fileList->setPath(m_folders.listPath);
    showFileCount();
    selectGameOfFolder();
}

void MainWindow::selectGameOfFolder() {
    const int count = m_ui.fileList->listCount();
    const QString folder = m_ui.fileList->path();
    int row = -1;
    if (const QString chosen = m_folders.chosenIn.value(folder); !chosen.isEmpty()) {
        for (int i = 0; i < count && row < 0; ++i)
            if (m_ui.fileList->list(i) == chosen) row = i;
    }
    if (row < 0 && !m_emu.current.isEmpty() && folder == setting(QStringLiteral("roms"), {}))
        row = leadingWholeNumber(setting(QStringLiteral("file"), QStringLiteral("0")));
    if (row < 0 || row >= count) row = count > 0 ? 0 : -1;
    m_ui.fileList->setListIndex(row);
    if (row >= 0) {
        showSelectedGame();
        return;
    }
    // A folder without games must not go on showing the last folder's game either.
    resetPreview();
    m_preview.titleText.clear();
    fitTitle();
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui.title, m_ui.picture}) {
        w->setToolTip(QString());
        w->setAccessibleDescription(QString());
    }
    m_ui.title->setAccessibleName(QString());
}

void MainWindow::browseForFolder() {
    const std::optional<QString> chosen =
        m_services.dialogs->pickFolder(kPickerTitle, m_ui.fileList->path());
    if (!chosen || chosen->isEmpty()) return;
    if (m_emu.current.isEmpty()) {
        m_emu.folder = withTrailingSeparator(*chosen);
        scanEmulators();
    }
    selectRomFolder(*chosen);
    selectGameOfFolder();
    saveEmulatorSettings();
}

void MainWindow::applyListsLayout(const ListsLayout& l) {
    moveTwips(m_ui.fileList, l.files);
    m_layout.filesArea = m_ui.fileList->geometry();
    placeFilesAndFilters();
    moveTwips(m_ui.picture, l.imgShot);
    moveTwips(m_ui.animation, l.imgShot);
    TwipRect title = twips(m_ui.title);
    title.top = l.titleTop;
    moveTwips(m_ui.title, title);
    TwipRect shadow = twips(m_ui.titleShadow);
    shadow.top = l.shadowTop;
    moveTwips(m_ui.titleShadow, shadow);
    m_ui.fileList->raise();
}

void MainWindow::toggleFolderLists() {
    const bool show = m_ui.folderList->isHidden();
    m_ui.folderList->setVisible(show);
    m_ui.driveList->setVisible(show);
    if (!show) {
        applyListsLayout(layOutListing(twips(m_ui.previewFrame), twips(m_ui.picture),
                                       twips(m_ui.folderList).width));
        selectRomFolder(m_folders.listPath.isEmpty() ? m_ui.fileList->path() : m_folders.listPath);
        selectGameOfFolder();
        focusFiles();
        return;
    }
    // The picture as last found off the window's thread: the games folder may not answer.
    const bool picture = !m_preview.shot.isEmpty();
    applyListsLayout(layOutBrowsing(twips(m_ui.previewFrame), twips(m_ui.picture), picture));
    // The listed folder's ancestors show at once; the volumes (which come and go while the
    // lists are hidden) and its sub-folders come from a thread, as the folder may be a
    // share that no longer answers.
    m_folders.listPath = folderPathOf(m_ui.fileList->path());
    m_folders.entered.clear();
    showFolderRows(ancestorRowsOf(m_folders.listPath));
    m_folderLooks->ask(m_folders.listPath, true,
                       [this](const FolderLook& look) { folderLooked(look, false); });
}
