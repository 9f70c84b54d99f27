#include "filelist/ui/FileListView.h"

#include "filelist/ColorValues.h"
#include "filelist/ColumnFit.h"
#include "filelist/ui/FileListItemDelegate.h"
#include "filelist/ui/FileListItemModel.h"
#include "filelist/ui/FileListViewInput.h"
#include "filelist/ui/HostedItemView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QScreen>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace {
// Calls back when the watched widget changes size.
class ResizeWatch final : public QObject {
public:
    ResizeWatch(QWidget* watched, std::function<void()> resized)
        : QObject(watched), m_resized(std::move(resized)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) m_resized();
        return false;
    }

private:
    std::function<void()> m_resized;
};
}  // namespace

FileListView::FileListView(QWidget* parent)
    : QWidget(parent), m_input(std::make_unique<FileListViewInput>(*this)) {
    m_adapter = new FileListItemModel(m_model, this);
    m_adapter->onItemClick = [this](int item) { emit itemClick(item); };
    m_adapter->onColumnsChanged = [this](int) { applyColumns(); };
    m_adapter->onMirroring = [this](bool mirroring) {
        if (m_tree) m_tree->setAutoScroll(!mirroring);
        if (m_icons) m_icons->setAutoScroll(!mirroring);
    };
    m_delegate = new FileListItemDelegate(m_model, this);
    m_folder.onBusy = [this](bool busy) { setBusy(busy); };
    buildViews();

    // The list starts as a single-selection report view with full-row selection and
    // draggable headers; the stored values follow.
    m_model.setSingleSelection(true);
    m_multiSelect = false;
    applySelectionMode();
    setBorderStyle(1);
    setViewMode(1);
    setHeaderDragDrop(true);
    setOneClickActivate(true);
    setUnderlineHot(true);
    setFullRowSelect(true);
    m_folder.initPattern(QStringLiteral("*.*"));
    // A list with nothing stored reads every key at its default.
    readProperties(platform::PropertyBag());
}

FileListView::~FileListView() {
    // The views, the adapter and the delegate look at the model and the input translator,
    // which as members would go before the QWidget base deletes its children.
    delete m_tree;
    delete m_icons;
    delete m_delegate;
    m_model.setObserver(nullptr);
    delete m_adapter;
}

void FileListView::buildViews() {
    auto* layout = new QStackedLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* tree = new HostedItemView<QTreeView>(*m_input, this);
    m_tree = tree;
    m_tree->setModel(m_adapter);
    m_tree->setSelectionModel(m_adapter->selectionModel());
    m_tree->setItemDelegate(m_delegate);
    m_tree->setRootIsDecorated(false);
    m_tree->setItemsExpandable(false);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setTextElideMode(Qt::ElideRight);
    m_tree->viewport()->setMouseTracking(true);
    m_tree->viewport()->setAttribute(Qt::WA_Hover);
    m_tree->viewport()->setCursor(Qt::PointingHandCursor);
    QHeaderView* header = m_tree->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setSectionsClickable(true);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int column) { emit columnClick(m_adapter->modelColumn(column)); });
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (m_applyingColumns) return;
        m_model.setColumnWidth(m_adapter->modelColumn(column), size);
        // The user's widths stay, through sorts, listings and resizes alike.
        m_userSizedColumns = true;
    });
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);
    // The viewport narrows when the vertical scroll bar comes, and then the name gives way.
    new ResizeWatch(m_tree->viewport(), [this] { fitColumns(); });
}

QAbstractItemView* FileListView::currentView() const {
    if (m_viewMode != 1 && m_icons) return m_icons;
    return m_tree;
}

void FileListView::applyColumns() {
    m_applyingColumns = true;
    QHeaderView* header = m_tree->header();
    for (int c = 0; c < m_model.columnCount(); ++c) {
        const int shown = m_adapter->viewColumn(c);
        if (shown < 0) continue;
        header->resizeSection(shown, m_model.columnWidth(c));
        header->setSectionResizeMode(shown, QHeaderView::Interactive);
    }
    m_applyingColumns = false;
    // A width the user dragged stays through sorts and listings; a column shown or hidden
    // shares the width out again.
    int shown = 0;
    for (int c = 0; c < m_model.columnCount(); ++c)
        shown += m_adapter->viewColumn(c) >= 0 ? 1 : 0;
    if (shown != m_fittedColumns) fitColumns();
}

void FileListView::fitColumns() {
    if (m_userSizedColumns) return;
    QHeaderView* header = m_tree->header();
    const QFontMetrics cells(m_tree->font());
    // A cell's text has the delegate's margins on either side.
    const QStyle* style = m_tree->style();
    const int cellMargins = 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin) + 4);
    // A header's text has its margins (the sort arrow of the one sorted by may cut it).
    const int headerMargins = 3 * style->pixelMetric(QStyle::PM_HeaderMargin);
    std::vector<int> wanted, sections;
    int nameIndex = -1;
    for (int c = 0; c < m_model.columnCount(); ++c) {
        const int shown = m_adapter->viewColumn(c);
        if (shown < 0) continue;
        if (c == 0) nameIndex = static_cast<int>(wanted.size());
        const QString sample = columnSample(c);
        const int width =
            c == 0 ? 0
            : sample.isEmpty()
                ? m_model.columnWidth(c)
                : std::max(header->fontMetrics().horizontalAdvance(m_model.columnText(c)) +
                               headerMargins,
                           cells.horizontalAdvance(sample) + cellMargins);
        wanted.push_back(width);
        sections.push_back(shown);
    }
    m_fittedColumns = static_cast<int>(sections.size());
    const int viewWidth = m_tree->viewport()->width();
    if (nameIndex < 0) return;
    const std::vector<int> widths = fittedColumnWidths(
        viewWidth, wanted, nameIndex, std::max(viewWidth / 3, 12 * cells.averageCharWidth()));
    m_applyingColumns = true;
    for (size_t i = 0; i < sections.size(); ++i)
        if (header->sectionSize(sections[i]) != widths[i])
            header->resizeSection(sections[i], widths[i]);
    m_applyingColumns = false;
}

void FileListView::setBusy(bool busy) {
    QAbstractItemView* view = currentView();
    if (busy) {
        view->viewport()->setCursor(Qt::WaitCursor);
        view->setUpdatesEnabled(false);
    } else {
        view->setUpdatesEnabled(true);
        view->viewport()->setCursor(Qt::PointingHandCursor);
    }
}

// ---- the folder listed ------------------------------------------------------------------

QString FileListView::path() const {
    return m_folder.path();
}

void FileListView::setPath(const QString& value) {
    m_folder.setPath(value);
}

QString FileListView::pattern() const {
    return m_folder.pattern();
}

void FileListView::setPattern(const QString& value) {
    m_folder.setPattern(value);
}

void FileListView::setShowsHiddenFiles(bool value) {
    m_folder.setShowsHiddenFiles(value);
}

void FileListView::readFoldersInBackground() {
    m_folder.readInBackground([this](std::function<void()> work) {
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
    });
    m_noAnswer = new QTimer(this);
    m_noAnswer->setSingleShot(true);
    m_noAnswer->setInterval(kNoAnswerMs);
    connect(m_noAnswer, &QTimer::timeout, this, [this] { m_folder.noAnswerYet(); });
    m_folder.onStatus = [this] {
        if (m_folder.reading() && !m_folder.namesKnown()) {
            if (!m_noAnswer->isActive() && !m_folder.readingStatus().endsWith(u"answer"))
                m_noAnswer->start();
        } else {
            m_noAnswer->stop();
        }
        emit readingStatusChanged();
    };
    m_folder.onShownFromIndex = [this] { emit folderShownFromIndex(); };
    m_folder.onListed = [this] { emit folderListed(); };
    // The rows in sight are read first, wherever the user scrolls.
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_tree), currentView()}) {
        if (!view) continue;
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, view] {
            const QModelIndex top = view->indexAt(QPoint(1, 1));
            if (top.isValid()) m_folder.lookFirstAt(top.row());
        });
    }
}

void FileListView::refresh() {
    m_folder.refresh();
    currentView()->viewport()->update();
}

QString FileListView::fileName(int column) const {
    return m_model.list(m_model.listIndex(), column);
}

bool FileListView::sortFilesByColumnClick(int column) {
    return m_folder.sortFilesByColumnClick(column);
}

// ---- the items ---------------------------------------------------------------------------

int FileListView::listIndex() const {
    return m_model.listIndex();
}

void FileListView::setListIndex(int index) {
    m_model.setListIndex(index);
    scrollToItem(index);
}

int FileListView::listCount() const {
    return m_model.listCount();
}

QString FileListView::list(int index, int column) const {
    return m_model.list(index, column);
}

bool FileListView::removeItem(int index) {
    return m_model.removeItem(index);
}

bool FileListView::scrollToItem(int item) {
    if (item < 0 || item >= m_model.count()) return false;
    QAbstractItemView* view = currentView();
    const QPersistentModelIndex index = m_adapter->index(item, 0);
    if (view->isVisible() && view->geometry() == contentsRect()) {
        view->scrollTo(index);
    } else {
        // A view not laid out yet would scroll for its old size; wait until it is.
        QTimer::singleShot(0, view, [view, index] {
            if (index.isValid()) view->scrollTo(index);
        });
    }
    return true;
}

// ---- icons -------------------------------------------------------------------------------

bool FileListView::initializeSmallIcons(int width, int height) {
    const bool ok = m_model.imageListSmall().initialize(width, height);
    m_tree->setIconSize(QSize(m_model.imageListSmall().width(), m_model.imageListSmall().height()));
    return ok;
}

int FileListView::addSmallIcon(const QIcon& icon) {
    const int index = m_model.imageListSmall().addIcon(icon);
    currentView()->viewport()->update();
    return index;
}

// ---- focus and font ----------------------------------------------------------------------

void FileListView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    currentView()->setFocus();
}

void FileListView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) applyPalette();
}

QPointF FileListView::toScale(QPointF pixels) const {
    if (m_scaleMode != 1) return pixels;
    // 1440 units to the inch.
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return pixels * (dpi > 0 ? 1440.0 / dpi : 15.0);
}
