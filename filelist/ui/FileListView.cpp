#include "filelist/ui/FileListView.h"

#include "filelist/ColorValues.h"
#include "filelist/ui/FileListItemDelegate.h"
#include "filelist/ui/FileListItemModel.h"
#include "filelist/ui/FileListViewInput.h"
#include "filelist/ui/HostedItemView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QMouseEvent>
#include <QScreen>
#include <QStackedLayout>
#include <QTimer>
#include <QTreeView>

namespace {

// Right clicks on the header go to the control as ColumnRightClick.
class HeaderWatcher : public QObject {
public:
    HeaderWatcher(QHeaderView* header, FileListViewInput& input)
        : QObject(header), m_header(header), m_input(input) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::RightButton)
                m_input.headerPressed(m_header->logicalIndexAt(me->position().toPoint()),
                                      Qt::RightButton);
        }
        return false;
    }

private:
    QHeaderView* m_header;
    FileListViewInput& m_input;
};

}  // namespace

FileListView::FileListView(QWidget* parent)
    : QWidget(parent), m_input(std::make_unique<FileListViewInput>(*this)) {
    m_adapter = new FileListItemModel(m_model, this);
    m_adapter->onItemClick = [this](int item) { emit ItemClick(item); };
    m_adapter->onColumnsChanged = [this](int) { applyColumns(); };
    m_adapter->onMirroring = [this](bool mirroring) {
        if (m_tree) m_tree->setAutoScroll(!mirroring);
        if (m_icons) m_icons->setAutoScroll(!mirroring);
    };
    m_adapter->onLabelEdited = [this](int, QString& text) {
        bool cancel = false;
        emit AfterLabelEdit(cancel, text);
        return !cancel;
    };
    m_delegate = new FileListItemDelegate(m_model, this);
    m_delegate->mayEdit = [this] {
        bool cancel = false;
        emit BeforeLabelEdit(cancel);
        return !cancel;
    };
    m_folder.onBusy = [this](bool busy) { setBusy(busy); };
    buildViews();

    // The list starts as the control's own start-up makes it: a single-selection report
    // view with full-row selection and draggable headers; the stored values follow.
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
    // A control with nothing stored reads every key at its default.
    UserControl_ReadProperties(platform::PropertyBag());
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
            [this](int column) { m_input->headerPressed(column, Qt::LeftButton); });
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (!m_applyingColumns) m_model.setColumnWidth(column, size);
    });
    header->viewport()->installEventFilter(new HeaderWatcher(header, *m_input));
    layout->addWidget(m_tree);
    setFocusProxy(m_tree);
}

QAbstractItemView* FileListView::currentView() const {
    if (m_viewMode != 1 && m_icons) return m_icons;
    return m_tree;
}

void FileListView::applyColumns() {
    m_applyingColumns = true;
    QHeaderView* header = m_tree->header();
    for (int c = 0; c < m_model.ColumnCount(); ++c) {
        header->resizeSection(c, m_model.ColumnWidth(c));
        header->setSectionResizeMode(
            c, m_headerFixedWidth ? QHeaderView::Fixed : QHeaderView::Interactive);
    }
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

// ---- file-list mode ----------------------------------------------------------------------

QString FileListView::path() const {
    return m_folder.path();
}

void FileListView::setPath(const QString& value) {
    m_folder.setPath(value);
}

QString FileListView::Pattern() const {
    return m_folder.Pattern();
}

void FileListView::setPattern(const QString& value) {
    m_folder.setPattern(value);
}

bool FileListView::Archive() const {
    return m_folder.Archive();
}
void FileListView::setArchive(bool value) {
    m_folder.setArchive(value);
}
bool FileListView::ReadOnly() const {
    return m_folder.ReadOnly();
}
void FileListView::setReadOnly(bool value) {
    m_folder.setReadOnly(value);
}
bool FileListView::Hidden() const {
    return m_folder.Hidden();
}
void FileListView::setHidden(bool value) {
    m_folder.setHidden(value);
}
bool FileListView::System() const {
    return m_folder.System();
}
void FileListView::setSystem(bool value) {
    m_folder.setSystem(value);
}

void FileListView::Refresh() {
    m_folder.Refresh();
    currentView()->viewport()->update();
}

QString FileListView::FileName(int SubItem) const {
    return m_model.List(m_model.ListIndex(), SubItem);
}

void FileListView::setFileName(const QString& value, int SubItem) {
    m_model.setList(m_model.ListIndex(), SubItem, value);
}

bool FileListView::SortFilesByColumnClick(int column) {
    return m_folder.SortFilesByColumnClick(column);
}

// ---- list-box style members --------------------------------------------------------------

int FileListView::ListIndex() const {
    return m_model.ListIndex();
}

void FileListView::setListIndex(int index) {
    m_model.setListIndex(index);
    if (index >= 0 && index < m_model.count()) ItemEnsureVisible(index);
}

int FileListView::ListCount() const {
    return m_model.ListCount();
}

QString FileListView::List(int index, int SubItem) const {
    return m_model.List(index, SubItem);
}

void FileListView::setList(int index, const QString& value) {
    m_model.setList(index, value);
}

void FileListView::setList(int index, int SubItem, const QString& value) {
    m_model.setList(index, SubItem, value);
}

bool FileListView::AddItem(const QString& text, int& Index, int Icon, int indent) {
    return m_model.AddItem(text, Index, Icon, indent);
}

bool FileListView::AddItem(const QString& text) {
    return m_model.AddItem(text);
}

bool FileListView::RemoveItem(int Index) {
    return m_model.RemoveItem(Index);
}

bool FileListView::Selected(int Item) const {
    return m_model.Selected(Item);
}

void FileListView::setSelected(int Item, bool value) {
    m_model.setSelected(Item, value);
}

int FileListView::SelCount() const {
    return m_model.SelCount();
}

QString FileListView::text(int SubItem) const {
    return m_model.text(SubItem);
}

void FileListView::setText(int SubItem, const QString& value) {
    m_model.setText(SubItem, value);
}

int FileListView::NewIndex() const {
    return m_model.NewIndex();
}

bool FileListView::SelectAll(bool NewState) {
    return m_model.SelectAll(NewState);
}

void FileListView::InvertSelection() {
    m_model.InvertSelection();
}

// ---- columns -----------------------------------------------------------------------------

bool FileListView::ColumnAdd(int Column, const QString& text, int Width, int Align, int Icon) {
    return m_model.ColumnAdd(Column, text, Width, Align, Icon);
}

bool FileListView::ColumnRemove(int Column) {
    return m_model.ColumnRemove(Column);
}

bool FileListView::ColumnAutosize(int Column, int AutosizeType) {
    if (Column < 0 || Column >= m_model.ColumnCount()) return false;
    int width = static_cast<QAbstractItemView*>(m_tree)->sizeHintForColumn(Column);
    if (AutosizeType == -2) width = std::max(width, m_tree->header()->sectionSizeHint(Column));
    if (AutosizeType >= 0) width = AutosizeType;
    return m_model.setColumnWidth(Column, std::max(width, 0));
}

QString FileListView::ColumnText(int Column) const {
    return m_model.ColumnText(Column);
}
void FileListView::setColumnText(int Column, const QString& text) {
    m_model.setColumnText(Column, text);
}
int FileListView::ColumnWidth(int Column) const {
    return m_model.ColumnWidth(Column);
}
void FileListView::setColumnWidth(int Column, int Width) {
    m_model.setColumnWidth(Column, Width);
}
int FileListView::ColumnAlign(int Column) const {
    return m_model.ColumnAlign(Column);
}
void FileListView::setColumnAlign(int Column, int Align) {
    m_model.setColumnAlign(Column, Align);
}
int FileListView::ColumnIcon(int Column) const {
    return m_model.ColumnIcon(Column);
}
void FileListView::setColumnIcon(int Column, int Icon) {
    m_model.setColumnIcon(Column, Icon);
}
int FileListView::ColumnCount() const {
    return m_model.ColumnCount();
}

// ---- items -------------------------------------------------------------------------------

bool FileListView::ItemAdd(int Item, const QString& text, int Icon, int indent) {
    return m_model.ItemAdd(Item, text, Icon, indent);
}
bool FileListView::ItemRemove(int Item) {
    return m_model.ItemRemove(Item);
}
bool FileListView::Clear() {
    return m_model.Clear();
}

bool FileListView::ItemEnsureVisible(int Item) {
    if (Item < 0 || Item >= m_model.count()) return false;
    QAbstractItemView* view = currentView();
    const QPersistentModelIndex index = m_adapter->index(Item, 0);
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

int FileListView::ItemFindText(const QString& text, int StartItem, int Coincidence) const {
    return m_model.ItemFindText(text, StartItem, Coincidence);
}
int FileListView::ItemFindState(int StartItem, int State) const {
    return m_model.ItemFindState(StartItem, State);
}

int FileListView::ItemHitTest(float x, float y) const {
    QAbstractItemView* view = currentView();
    const QPoint inView = fromScale(x, y);
    const QPoint inViewport = inView - view->viewport()->mapTo(view, QPoint(0, 0));
    const QModelIndex index = view->indexAt(inViewport);
    return index.isValid() ? index.row() : -1;
}

bool FileListView::SubItemSet(int Item, int SubItem, const QString& text, int Icon) {
    return m_model.SubItemSet(Item, SubItem, text, Icon);
}
QString FileListView::ItemText(int Item) const {
    return m_model.ItemText(Item);
}
void FileListView::setItemText(int Item, const QString& text) {
    m_model.setItemText(Item, text);
}
QString FileListView::SubItemText(int Item, int SubItem) const {
    return m_model.SubItemText(Item, SubItem);
}
void FileListView::setSubItemText(int Item, int SubItem, const QString& text) {
    m_model.setSubItemText(Item, SubItem, text);
}
int FileListView::ItemIcon(int Item) const {
    return m_model.ItemIcon(Item);
}
void FileListView::setItemIcon(int Item, int Icon) {
    m_model.setItemIcon(Item, Icon);
}
int FileListView::SubItemIcon(int Item, int SubItem) const {
    return m_model.SubItemIcon(Item, SubItem);
}
void FileListView::setSubItemIcon(int Item, int SubItem, int Icon) {
    m_model.setSubItemIcon(Item, SubItem, Icon);
}
int FileListView::ItemIndent(int Item) const {
    return m_model.ItemIndent(Item);
}
void FileListView::setItemIndent(int Item, int indent) {
    m_model.setItemIndent(Item, indent);
}
int FileListView::ItemSelected(int Item) const {
    return m_model.ItemSelected(Item);
}
void FileListView::setItemSelected(int Item, bool Selected) {
    m_model.setItemSelected(Item, Selected);
}
bool FileListView::ItemFocused(int Item) const {
    return m_model.ItemFocused(Item);
}
void FileListView::setItemFocused(int Item, bool Focused) {
    m_model.setItemFocused(Item, Focused);
}
bool FileListView::ItemChecked(int Item) const {
    return m_model.ItemChecked(Item);
}
void FileListView::setItemChecked(int Item, bool Checked) {
    m_model.setItemChecked(Item, Checked);
}
bool FileListView::ItemGhosted(int Item) const {
    return m_model.ItemGhosted(Item);
}
void FileListView::setItemGhosted(int Item, bool Ghosted) {
    m_model.setItemGhosted(Item, Ghosted);
}
int FileListView::count() const {
    return m_model.count();
}
int FileListView::SelectedCount() const {
    return m_model.SelectedCount();
}

// ---- sorting -----------------------------------------------------------------------------

bool FileListView::Sort(int Column, int New_SortOrder, int New_SortType) {
    return m_model.Sort(Column, New_SortOrder, New_SortType);
}
int FileListView::SortColumn() const {
    return m_model.SortColumn();
}
int FileListView::SortOrder() const {
    return m_model.SortOrder();
}
int FileListView::SortType() const {
    return m_model.SortType();
}

// ---- image lists -------------------------------------------------------------------------

bool FileListView::InitializeImageListSmall(int ImageWidth, int ImageHeight) {
    const bool ok = m_model.imageListSmall().initialize(ImageWidth, ImageHeight);
    m_tree->setIconSize(QSize(m_model.imageListSmall().width(), m_model.imageListSmall().height()));
    return ok;
}
bool FileListView::InitializeImageListLarge(int ImageWidth, int ImageHeight) {
    return m_model.imageListLarge().initialize(ImageWidth, ImageHeight);
}
bool FileListView::InitializeImageListHeader(int ImageWidth, int ImageHeight) {
    return m_model.imageListHeader().initialize(ImageWidth, ImageHeight);
}
int FileListView::ImageListSmall_AddBitmap(const QImage& bitmap, const QColor& MaskColor) {
    return m_model.imageListSmall().addBitmap(bitmap, MaskColor);
}
int FileListView::ImageListLarge_AddBitmap(const QImage& bitmap, const QColor& MaskColor) {
    return m_model.imageListLarge().addBitmap(bitmap, MaskColor);
}
int FileListView::ImageListHeader_AddBitmap(const QImage& bitmap, const QColor& MaskColor) {
    return m_model.imageListHeader().addBitmap(bitmap, MaskColor);
}
int FileListView::ImageListSmall_AddIcon(const QIcon& icon) {
    const int index = m_model.imageListSmall().addIcon(icon);
    currentView()->viewport()->update();
    return index;
}
int FileListView::ImageListLarge_AddIcon(const QIcon& icon) {
    return m_model.imageListLarge().addIcon(icon);
}
int FileListView::ImageListHeader_AddIcon(const QIcon& icon) {
    return m_model.imageListHeader().addIcon(icon);
}

// ---- hosting -----------------------------------------------------------------------------

void FileListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit Resize();
}

void FileListView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    currentView()->setFocus();
}

void FileListView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) applyPalette();
}

double FileListView::twipsPerPixel() const {
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

QPointF FileListView::toScale(QPointF pixels) const {
    if (m_scaleMode != 1) return pixels;
    return pixels * twipsPerPixel();
}

QPoint FileListView::fromScale(float x, float y) const {
    if (m_scaleMode != 1) return QPoint(int(x), int(y));
    const int tpp = std::max(1, int(twipsPerPixel()));
    return QPoint(int(x) / tpp, int(y) / tpp);
}
