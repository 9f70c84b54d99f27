// The drive and folder lists, the folder picker and the browsing layout.

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
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
    m_folderList->setItemDelegate(new FolderRowDelegate(m_folderList));
    m_folderList->setSelectionMode(QAbstractItemView::SingleSelection);
    // Asking a volume whether it is ready waits for a share that does not answer.
    m_folderLooks->ask(QStringLiteral("/"),
                       [this](const FolderLook& look) { fillDrives(look.drives); });
    connect(m_driveList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) openSelectedDrive();
    });
    connect(m_folderList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { setFolderListPath(item->data(kPathRole).toString()); });
    connect(m_browseButton, &QPushButton::clicked, this, [this] { browseForFolder(); });
    connect(m_fileList, &FileListView::ColumnClick, this,
            [this](int column) { m_fileList->SortFilesByColumnClick(column); });
    // A right click on the list opens its folder on the desktop.
    connect(m_fileList, &FileListView::MouseDown, this, [this](int button, int, float, float) {
        if (button == MouseButtonCode(Qt::RightButton) && !m_fileList->path().isEmpty())
            m_services.shell->open(m_fileList->path());
    });
    for (QObject* o : std::initializer_list<QObject*>{m_driveList, m_folderList, m_browseButton})
        o->installEventFilter(this);
}

bool MainWindow::handleNavigationKey(QObject* watched, QKeyCombination key) {
    const KeyContext context{m_fileList->ListCount() > 0, atVolumeRoot()};
    const KeyCommand command = watched == m_folderList  ? commandFor(folderListKeys(), key, context)
                               : watched == m_driveList ? commandFor(driveListKeys(), key)
                                                        : commandFor(browseButtonKeys(), key);
    switch (command) {
        case KeyCommand::FocusFiles:
            focusFiles();
            break;
        case KeyCommand::FocusFolders:
            m_folderList->setFocus();
            break;
        case KeyCommand::FocusDrives:
            m_driveList->setFocus();
            break;
        case KeyCommand::FocusCommandLine:
            m_commandLine->setFocus();
            break;
        case KeyCommand::OpenHighlightedFolder:
            setFolderListPath(folderAtRow(m_folderList->currentRow()));
            break;
        case KeyCommand::UpOneLevel:
            setFolderListPath(UpOneLevel(m_folderListPath));
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
    const QSignalBlocker quiet(m_driveList);
    const QString current = selectedDrive();
    m_driveList->clear();
    for (const platform::Drive& d : drives) {
        const QString shown =
            d.name.isEmpty() ? d.root : d.root + QStringLiteral("  (") + d.name + QLatin1Char(')');
        m_driveList->addItem(shown, d.root);
    }
    selectDrive(current);
}

QString MainWindow::selectedDrive() const {
    return m_driveList->currentData().toString();
}

void MainWindow::selectDrive(const QString& root) {
    const int index = m_driveList->findData(withTrailingSeparator(root));
    if (index < 0) return;
    const QSignalBlocker quiet(m_driveList);
    m_driveList->setCurrentIndex(index);
}

bool MainWindow::atVolumeRoot() const {
    return m_driveList->findData(withTrailingSeparator(m_folderListPath)) >= 0;
}

QString MainWindow::folderListPath() const {
    return m_folderListPath;
}

bool MainWindow::setFolderListPath(const QString& path) {
    const QString folder = FolderPathOf(path);
    if (!CanEnterFolder(folder)) return false;
    const bool changed = folder != m_folderListPath;
    m_folderListPath = folder;
    refreshFolderList();
    if (changed) listFilesOfFolderList();
    return true;
}

void MainWindow::refreshFolderList() {
    showFolderRows(RowsOf(m_folderListPath));
}

bool MainWindow::folderListsPending() const {
    return m_folderLooks->pending();
}

void MainWindow::showFolderRows(const FolderRows& listed) {
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    m_folderList->setUpdatesEnabled(false);
    m_folderList->clear();
    for (const FolderRow& row : listed.rows) {
        auto* item = new QListWidgetItem(row.open ? open : closed, row.name);
        item->setData(kPathRole, row.path);
        item->setData(kDepthRole, row.depth);
        m_folderList->addItem(item);
    }
    m_folderList->setCurrentRow(listed.current);
    m_folderList->setUpdatesEnabled(true);
}

QString MainWindow::folderAtRow(int index) const {
    const QListWidgetItem* item = m_folderList->item(index);
    return item ? item->data(kPathRole).toString() : m_folderListPath;
}

void MainWindow::openSelectedDrive() {
    // A volume gone or unreadable since the list was filled leaves the folder list where
    // it was, and the drive list goes back to the volume that folder is on.
    const QString root = withTrailingSeparator(selectedDrive());
    if (!CanListFolder(root) || !setFolderListPath(root))
        selectDrive(m_services.volumes->rootOf(withTrailingSeparator(m_folderListPath)));
}

void MainWindow::listFilesOfFolderList() {
    m_fileList->setPath(m_folderListPath);
    showFileCount();
    selectGameOfFolder();
}

void MainWindow::selectGameOfFolder() {
    const int count = m_fileList->ListCount();
    const QString folder = m_fileList->path();
    int row = -1;
    if (const QString chosen = m_chosenInFolder.value(folder); !chosen.isEmpty()) {
        for (int i = 0; i < count && row < 0; ++i)
            if (m_fileList->List(i) == chosen) row = i;
    }
    if (row < 0 && !m_currentEmulator.isEmpty() && folder == setting(QStringLiteral("roms"), {}))
        row = LeadingWholeNumber(setting(QStringLiteral("file"), QStringLiteral("0")));
    if (row < 0 || row >= count) row = count > 0 ? 0 : -1;
    m_fileList->setListIndex(row);
    if (row >= 0) {
        showSelectedGame();
        return;
    }
    // A folder without games must not go on showing the last folder's game either.
    resetPreview();
    m_titleText.clear();
    fitTitle();
    for (QWidget* w : std::initializer_list<QWidget*>{m_title, m_picture}) {
        w->setToolTip(QString());
        w->setAccessibleDescription(QString());
    }
    m_title->setAccessibleName(QString());
}

void MainWindow::browseForFolder() {
    const std::optional<QString> chosen =
        m_services.dialogs->pickFolder(kPickerTitle, m_fileList->path());
    if (!chosen || chosen->isEmpty()) return;
    if (m_currentEmulator.isEmpty()) {
        m_emulatorFolder = withTrailingSeparator(*chosen);
        scanEmulators();
    }
    selectRomFolder(*chosen);
    selectGameOfFolder();
    saveEmulatorSettings();
}

void MainWindow::applyListsLayout(const ListsLayout& l) {
    moveTwips(m_fileList, l.files);
    m_filesArea = m_fileList->geometry();
    placeFilesAndFilters();
    moveTwips(m_picture, l.imgShot);
    moveTwips(m_animation, l.imgShot);
    TwipRect title = twips(m_title);
    title.top = l.titleTop;
    moveTwips(m_title, title);
    TwipRect shadow = twips(m_titleShadow);
    shadow.top = l.shadowTop;
    moveTwips(m_titleShadow, shadow);
    m_fileList->raise();
}

void MainWindow::toggleFolderLists() {
    const bool show = m_folderList->isHidden();
    m_folderList->setVisible(show);
    m_driveList->setVisible(show);
    if (!show) {
        applyListsLayout(
            LayOutListing(twips(m_previewFrame), twips(m_picture), twips(m_folderList).width));
        selectRomFolder(m_folderListPath.isEmpty() ? m_fileList->path() : m_folderListPath);
        selectGameOfFolder();
        focusFiles();
        return;
    }
    // The picture as last found off the window's thread: the games folder may not answer.
    const bool picture = !m_previewShot.isEmpty();
    applyListsLayout(LayOutBrowsing(twips(m_previewFrame), twips(m_picture), picture));
    // The listed folder's ancestors show at once; the volumes (which come and go while the
    // lists are hidden) and its sub-folders come from a thread, as the folder may be a
    // share that no longer answers.
    m_folderListPath = FolderPathOf(m_fileList->path());
    showFolderRows(AncestorRowsOf(m_folderListPath));
    m_folderLooks->ask(m_folderListPath, [this](const FolderLook& look) {
        fillDrives(look.drives);
        if (m_folderList->isHidden() || look.folder != m_folderListPath) return;
        selectDrive(look.root);
        if (look.enterable)
            showFolderRows(look.rows);
        else
            setFolderListPath(selectedDrive());
    });
}
