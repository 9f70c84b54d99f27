// The drive and folder lists, the folder picker and the browsing layout.

#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/PathHelpers.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"
#include "launcher/window/FolderNavigation.h"
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
    dirList->setItemDelegate(new FolderRowDelegate(dirList));
    dirList->setSelectionMode(QAbstractItemView::SingleSelection);
    fillDrives();
    connect(driveList, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) driveList_Change();
    });
    connect(dirList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { setDirListPath(item->data(kPathRole).toString()); });
    connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowse_Click(); });
    connect(Files, &FileListView::ColumnClick, this,
            [this](int Column) { Files_ColumnClick(Column); });
    connect(Files, &FileListView::MouseDown, this, [this](int Button, int Shift, float x, float y) {
        Files_MouseDown(Button, Shift, x, y);
    });
    for (QObject* o : std::initializer_list<QObject*>{driveList, dirList, btnBrowse})
        o->installEventFilter(this);
}

bool MainWindow::routeNavigationKey(QObject* watched, int KeyCode, int Shift) {
    const int code = KeyCode;
    if (watched == dirList)
        dirList_KeyDown(KeyCode, Shift);
    else if (watched == driveList)
        driveList_KeyDown(KeyCode, Shift);
    else
        btnBrowse_KeyDown(KeyCode, Shift);
    return code != 0 && KeyCode == 0;
}

void MainWindow::fillDrives() {
    const QSignalBlocker quiet(driveList);
    const QString current = Drive();
    driveList->clear();
    for (const platform::Drive& d : m_services.volumes->drives()) {
        const QString shown =
            d.name.isEmpty() ? d.root : d.root + QStringLiteral("  (") + d.name + QLatin1Char(')');
        driveList->addItem(shown, d.root);
    }
    setDrive(current);
}

QString MainWindow::Drive() const {
    return driveList->currentData().toString();
}

void MainWindow::setDrive(const QString& root) {
    const int index = driveList->findData(withTrailingSeparator(root));
    if (index < 0) return;
    const QSignalBlocker quiet(driveList);
    driveList->setCurrentIndex(index);
}

bool MainWindow::atVolumeRoot() const {
    return driveList->findData(withTrailingSeparator(m_dirListPath)) >= 0;
}

QString MainWindow::dirListPath() const {
    return m_dirListPath;
}

bool MainWindow::setDirListPath(const QString& path) {
    const QString folder = FolderPathOf(path);
    if (!CanEnterFolder(folder)) return false;
    const bool changed = folder != m_dirListPath;
    m_dirListPath = folder;
    dirListRefresh();
    if (changed) dirList_Change();
    return true;
}

void MainWindow::dirListRefresh() {
    const FolderRows listed = RowsOf(m_dirListPath);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    dirList->setUpdatesEnabled(false);
    dirList->clear();
    for (const FolderRow& row : listed.rows) {
        auto* item = new QListWidgetItem(row.open ? open : closed, row.name);
        item->setData(kPathRole, row.path);
        item->setData(kDepthRole, row.depth);
        dirList->addItem(item);
    }
    dirList->setCurrentRow(listed.current);
    dirList->setUpdatesEnabled(true);
}

QString MainWindow::dirListList(int index) const {
    const QListWidgetItem* item = dirList->item(index);
    return item ? item->data(kPathRole).toString() : m_dirListPath;
}

void MainWindow::driveList_Change() {
    // A volume gone or unreadable since the list was filled leaves the folder list where
    // it was, and the drive list goes back to the volume that folder is on.
    const QString root = withTrailingSeparator(Drive());
    if (!CanListFolder(root) || !setDirListPath(root))
        setDrive(m_services.volumes->rootOf(withTrailingSeparator(m_dirListPath)));
}

void MainWindow::dirList_Change() {
    Files->setPath(m_dirListPath);
    showFileCount();
}

void MainWindow::dirList_KeyDown(int& KeyCode, int& Shift) {
    switch (FolderListKey(KeyCode, Files->ListCount() == 0, atVolumeRoot())) {
        case NavigationMove::FocusFiles:
            focusFiles();
            break;
        case NavigationMove::FocusDrives:
            driveList->setFocus();
            break;
        case NavigationMove::OpenHighlighted:
            setDirListPath(dirListList(dirList->currentRow()));
            KeyCode = 0;
            break;
        case NavigationMove::UpOneLevel:
            setDirListPath(UpOneLevel(m_dirListPath));
            KeyCode = 0;
            break;
        case NavigationMove::ToggleLists:
            Files_KeyDown(KeyCode, Shift);
            KeyCode = 0;
            break;
        default:
            break;
    }
}

void MainWindow::driveList_KeyDown(int& KeyCode, int&) {
    const NavigationMove move = DriveListKey(KeyCode);
    if (move == NavigationMove::FocusFiles) focusFiles();
    if (move == NavigationMove::FocusFolders) dirList->setFocus();
}

void MainWindow::btnBrowse_KeyDown(int& KeyCode, int&) {
    const NavigationMove move = BrowseButtonKey(KeyCode);
    if (move == NavigationMove::FocusCommandLine) txtCommandLine->setFocus();
    if (move == NavigationMove::FocusFiles) focusFiles();
}

void MainWindow::btnBrowse_Click() {
    const std::optional<QString> chosen = m_services.dialogs->pickFolder(
        QStringLiteral("Select Emulator/ROMs folder:"), Files->path());
    if (!chosen || chosen->isEmpty()) return;
    if (CurrentEmulator.isEmpty()) {
        EmulatorFolder = withTrailingSeparator(*chosen);
        ScanEmulators();
    }
    SelectRomFolder(*chosen);
    SaveEmulatorSettings();
}

void MainWindow::Files_ColumnClick(int& Column) {
    Files->SortFilesByColumnClick(Column);
}

void MainWindow::Files_MouseDown(int Button, int, float, float) {
    if (Button != 2 || Files->path().isEmpty()) return;
    m_services.shell->open(Files->path());
}

void MainWindow::applyListsLayout(const ListsLayout& l) {
    moveTwips(Files, l.files);
    moveTwips(imgShot, l.imgShot);
    moveTwips(AniGIF, l.imgShot);
    TwipRect title = twips(lblTitle);
    title.top = l.titleTop;
    moveTwips(lblTitle, title);
    TwipRect shadow = twips(lblShadow);
    shadow.top = l.shadowTop;
    moveTwips(lblShadow, shadow);
    Files->raise();
}

void MainWindow::ToggleFolderLists() {
    const bool show = dirList->isHidden();
    dirList->setVisible(show);
    driveList->setVisible(show);
    if (!show) {
        applyListsLayout(LayOutListing(twips(frmShot), twips(imgShot), twips(dirList).width));
        SelectRomFolder(m_dirListPath.isEmpty() ? Files->path() : m_dirListPath);
        focusFiles();
        return;
    }
    const bool picture = !FindScreenshot(Files->FileName()).isEmpty();
    applyListsLayout(LayOutBrowsing(twips(frmShot), twips(imgShot), picture));
    // Volumes come and go while the lists are hidden.
    fillDrives();
    setDrive(m_services.volumes->rootOf(Files->path()));
    if (!setDirListPath(Files->path())) setDirListPath(Drive());
}
