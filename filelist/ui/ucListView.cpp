#include "filelist/ui/ucListView.h"

#include "filelist/ColorValues.h"
#include "filelist/ui/ucHostedView.h"
#include "filelist/ui/ucListItemDelegate.h"
#include "filelist/ui/ucListModelAdapter.h"
#include "filelist/ui/ucListViewInput.h"

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
    HeaderWatcher(QHeaderView* header, ucListViewInput& input)
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
    ucListViewInput& m_input;
};

}  // namespace

ucListView::ucListView(QWidget* parent)
    : QWidget(parent), m_input(std::make_unique<ucListViewInput>(*this)) {
    m_adapter = new ucListModelAdapter(m_model, this);
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
    m_delegate = new ucListItemDelegate(m_model, this);
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

ucListView::~ucListView() {
    // The views, the adapter and the delegate look at the model and the input translator,
    // which as members would go before the QWidget base deletes its children.
    delete m_tree;
    delete m_icons;
    delete m_delegate;
    m_model.setObserver(nullptr);
    delete m_adapter;
}

void ucListView::buildViews() {
    auto* layout = new QStackedLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* tree = new ucHostedView<QTreeView>(*m_input, this);
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

QAbstractItemView* ucListView::currentView() const {
    if (m_viewMode != 1 && m_icons) return m_icons;
    return m_tree;
}

void ucListView::applyColumns() {
    m_applyingColumns = true;
    QHeaderView* header = m_tree->header();
    for (int c = 0; c < m_model.ColumnCount(); ++c) {
        header->resizeSection(c, m_model.ColumnWidth(c));
        header->setSectionResizeMode(
            c, m_headerFixedWidth ? QHeaderView::Fixed : QHeaderView::Interactive);
    }
    m_applyingColumns = false;
}

void ucListView::setBusy(bool busy) {
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

QString ucListView::path() const {
    return m_folder.path();
}

void ucListView::setPath(const QString& value) {
    m_folder.setPath(value);
}

QString ucListView::Pattern() const {
    return m_folder.Pattern();
}

void ucListView::setPattern(const QString& value) {
    m_folder.setPattern(value);
}

bool ucListView::Archive() const {
    return m_folder.Archive();
}
void ucListView::setArchive(bool value) {
    m_folder.setArchive(value);
}
bool ucListView::ReadOnly() const {
    return m_folder.ReadOnly();
}
void ucListView::setReadOnly(bool value) {
    m_folder.setReadOnly(value);
}
bool ucListView::Hidden() const {
    return m_folder.Hidden();
}
void ucListView::setHidden(bool value) {
    m_folder.setHidden(value);
}
bool ucListView::System() const {
    return m_folder.System();
}
void ucListView::setSystem(bool value) {
    m_folder.setSystem(value);
}

void ucListView::Refresh() {
    m_folder.Refresh();
    currentView()->viewport()->update();
}

QString ucListView::FileName(int SubItem) const {
    return m_model.List(m_model.ListIndex(), SubItem);
}

void ucListView::setFileName(const QString& value, int SubItem) {
    m_model.setList(m_model.ListIndex(), SubItem, value);
}

bool ucListView::SortFilesByColumnClick(int column) {
    return m_folder.SortFilesByColumnClick(column);
}

// ---- list-box style members --------------------------------------------------------------

int ucListView::ListIndex() const {
    return m_model.ListIndex();
}

void ucListView::setListIndex(int index) {
    m_model.setListIndex(index);
    if (index >= 0 && index < m_model.count()) ItemEnsureVisible(index);
}

int ucListView::ListCount() const {
    return m_model.ListCount();
}

QString ucListView::List(int index, int SubItem) const {
    return m_model.List(index, SubItem);
}

void ucListView::setList(int index, const QString& value) {
    m_model.setList(index, value);
}

void ucListView::setList(int index, int SubItem, const QString& value) {
    m_model.setList(index, SubItem, value);
}

bool ucListView::AddItem(const QString& text, int& Index, int Icon, int indent) {
    return m_model.AddItem(text, Index, Icon, indent);
}

bool ucListView::AddItem(const QString& text) {
    return m_model.AddItem(text);
}

bool ucListView::RemoveItem(int Index) {
    return m_model.RemoveItem(Index);
}

bool ucListView::Selected(int Item) const {
    return m_model.Selected(Item);
}

void ucListView::setSelected(int Item, bool value) {
    m_model.setSelected(Item, value);
}

int ucListView::SelCount() const {
    return m_model.SelCount();
}

QString ucListView::text(int SubItem) const {
    return m_model.text(SubItem);
}

void ucListView::setText(int SubItem, const QString& value) {
    m_model.setText(SubItem, value);
}

int ucListView::NewIndex() const {
    return m_model.NewIndex();
}

bool ucListView::SelectAll(bool NewState) {
    return m_model.SelectAll(NewState);
}

void ucListView::InvertSelection() {
    m_model.InvertSelection();
}

// ---- columns -----------------------------------------------------------------------------

bool ucListView::ColumnAdd(int Column, const QString& text, int Width, int Align, int Icon) {
    return m_model.ColumnAdd(Column, text, Width, Align, Icon);
}

bool ucListView::ColumnRemove(int Column) {
    return m_model.ColumnRemove(Column);
}

bool ucListView::ColumnAutosize(int Column, int AutosizeType) {
    if (Column < 0 || Column >= m_model.ColumnCount()) return false;
    int width = static_cast<QAbstractItemView*>(m_tree)->sizeHintForColumn(Column);
    if (AutosizeType == -2) width = std::max(width, m_tree->header()->sectionSizeHint(Column));
    if (AutosizeType >= 0) width = AutosizeType;
    return m_model.setColumnWidth(Column, std::max(width, 0));
}

QString ucListView::ColumnText(int Column) const {
    return m_model.ColumnText(Column);
}
void ucListView::setColumnText(int Column, const QString& text) {
    m_model.setColumnText(Column, text);
}
int ucListView::ColumnWidth(int Column) const {
    return m_model.ColumnWidth(Column);
}
void ucListView::setColumnWidth(int Column, int Width) {
    m_model.setColumnWidth(Column, Width);
}
int ucListView::ColumnAlign(int Column) const {
    return m_model.ColumnAlign(Column);
}
void ucListView::setColumnAlign(int Column, int Align) {
    m_model.setColumnAlign(Column, Align);
}
int ucListView::ColumnIcon(int Column) const {
    return m_model.ColumnIcon(Column);
}
void ucListView::setColumnIcon(int Column, int Icon) {
    m_model.setColumnIcon(Column, Icon);
}
int ucListView::ColumnCount() const {
    return m_model.ColumnCount();
}

// ---- items -------------------------------------------------------------------------------

bool ucListView::ItemAdd(int Item, const QString& text, int Icon, int indent) {
    return m_model.ItemAdd(Item, text, Icon, indent);
}
bool ucListView::ItemRemove(int Item) {
    return m_model.ItemRemove(Item);
}
bool ucListView::Clear() {
    return m_model.Clear();
}

bool ucListView::ItemEnsureVisible(int Item) {
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

int ucListView::ItemFindText(const QString& text, int StartItem, int Coincidence) const {
    return m_model.ItemFindText(text, StartItem, Coincidence);
}
int ucListView::ItemFindState(int StartItem, int State) const {
    return m_model.ItemFindState(StartItem, State);
}

int ucListView::ItemHitTest(float x, float y) const {
    QAbstractItemView* view = currentView();
    const QPoint inView = fromScale(x, y);
    const QPoint inViewport = inView - view->viewport()->mapTo(view, QPoint(0, 0));
    const QModelIndex index = view->indexAt(inViewport);
    return index.isValid() ? index.row() : -1;
}

bool ucListView::SubItemSet(int Item, int SubItem, const QString& text, int Icon) {
    return m_model.SubItemSet(Item, SubItem, text, Icon);
}
QString ucListView::ItemText(int Item) const {
    return m_model.ItemText(Item);
}
void ucListView::setItemText(int Item, const QString& text) {
    m_model.setItemText(Item, text);
}
QString ucListView::SubItemText(int Item, int SubItem) const {
    return m_model.SubItemText(Item, SubItem);
}
void ucListView::setSubItemText(int Item, int SubItem, const QString& text) {
    m_model.setSubItemText(Item, SubItem, text);
}
int ucListView::ItemIcon(int Item) const {
    return m_model.ItemIcon(Item);
}
void ucListView::setItemIcon(int Item, int Icon) {
    m_model.setItemIcon(Item, Icon);
}
int ucListView::SubItemIcon(int Item, int SubItem) const {
    return m_model.SubItemIcon(Item, SubItem);
}
void ucListView::setSubItemIcon(int Item, int SubItem, int Icon) {
    m_model.setSubItemIcon(Item, SubItem, Icon);
}
int ucListView::ItemIndent(int Item) const {
    return m_model.ItemIndent(Item);
}
void ucListView::setItemIndent(int Item, int indent) {
    m_model.setItemIndent(Item, indent);
}
int ucListView::ItemSelected(int Item) const {
    return m_model.ItemSelected(Item);
}
void ucListView::setItemSelected(int Item, bool Selected) {
    m_model.setItemSelected(Item, Selected);
}
bool ucListView::ItemFocused(int Item) const {
    return m_model.ItemFocused(Item);
}
void ucListView::setItemFocused(int Item, bool Focused) {
    m_model.setItemFocused(Item, Focused);
}
bool ucListView::ItemChecked(int Item) const {
    return m_model.ItemChecked(Item);
}
void ucListView::setItemChecked(int Item, bool Checked) {
    m_model.setItemChecked(Item, Checked);
}
bool ucListView::ItemGhosted(int Item) const {
    return m_model.ItemGhosted(Item);
}
void ucListView::setItemGhosted(int Item, bool Ghosted) {
    m_model.setItemGhosted(Item, Ghosted);
}
int ucListView::count() const {
    return m_model.count();
}
int ucListView::SelectedCount() const {
    return m_model.SelectedCount();
}

// ---- sorting -----------------------------------------------------------------------------

bool ucListView::Sort(int Column, int New_SortOrder, int New_SortType) {
    return m_model.Sort(Column, New_SortOrder, New_SortType);
}
int ucListView::SortColumn() const {
    return m_model.SortColumn();
}
int ucListView::SortOrder() const {
    return m_model.SortOrder();
}
int ucListView::SortType() const {
    return m_model.SortType();
}

// ---- image lists -------------------------------------------------------------------------

bool ucListView::InitializeImageListSmall(int ImageWidth, int ImageHeight) {
    const bool ok = m_model.imageListSmall().initialize(ImageWidth, ImageHeight);
    m_tree->setIconSize(QSize(m_model.imageListSmall().width(), m_model.imageListSmall().height()));
    return ok;
}
bool ucListView::InitializeImageListLarge(int ImageWidth, int ImageHeight) {
    return m_model.imageListLarge().initialize(ImageWidth, ImageHeight);
}
bool ucListView::InitializeImageListHeader(int ImageWidth, int ImageHeight) {
    return m_model.imageListHeader().initialize(ImageWidth, ImageHeight);
}
int ucListView::ImageListSmall_AddBitmap(const QImage& bitmap, const QColor& MaskColor) {
    return m_model.imageListSmall().addBitmap(bitmap, MaskColor);
}
int ucListView::ImageListLarge_AddBitmap(const QImage& bitmap, const QColor& MaskColor) {
    return m_model.imageListLarge().addBitmap(bitmap, MaskColor);
}
int ucListView::ImageListHeader_AddBitmap(const QImage& bitmap, const QColor& MaskColor) {
    return m_model.imageListHeader().addBitmap(bitmap, MaskColor);
}
int ucListView::ImageListSmall_AddIcon(const QIcon& icon) {
    const int index = m_model.imageListSmall().addIcon(icon);
    currentView()->viewport()->update();
    return index;
}
int ucListView::ImageListLarge_AddIcon(const QIcon& icon) {
    return m_model.imageListLarge().addIcon(icon);
}
int ucListView::ImageListHeader_AddIcon(const QIcon& icon) {
    return m_model.imageListHeader().addIcon(icon);
}

// ---- hosting -----------------------------------------------------------------------------

void ucListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit Resize();
}

void ucListView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    currentView()->setFocus();
}

void ucListView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) applyPalette();
}

double ucListView::twipsPerPixel() const {
    const QScreen* s = screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

QPointF ucListView::toScale(QPointF pixels) const {
    if (m_scaleMode != 1) return pixels;
    return pixels * twipsPerPixel();
}

QPoint ucListView::fromScale(float x, float y) const {
    if (m_scaleMode != 1) return QPoint(int(x), int(y));
    const int tpp = std::max(1, int(twipsPerPixel()));
    return QPoint(int(x) / tpp, int(y) / tpp);
}
