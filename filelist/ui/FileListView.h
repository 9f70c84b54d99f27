#pragma once

// The list view control: a general list (columns, items, image lists, sorting, list-box
// style members) with a file-list mode that lists a folder by masks. It shows its
// ListModel in a tree view (report mode) or a list view (icon and list modes) and turns
// their input into the control's events.

#include "filelist/FolderList.h"
#include "filelist/ListModel.h"
#include "platform/PropertyBag.h"

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <memory>

class QAbstractItemView;
class QListView;
class QTreeView;
class QMouseEvent;
class QKeyEvent;
class FileListItemModel;
class FileListItemDelegate;
class FileListViewInput;

class FileListView : public QWidget {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);
    ~FileListView() override;

    // ---- file-list mode ----
    QString path() const;
    void setPath(const QString& value);
    QString Pattern() const;
    void setPattern(const QString& value);
    bool Archive() const;
    void setArchive(bool value);
    bool ReadOnly() const;
    void setReadOnly(bool value);
    bool Hidden() const;
    void setHidden(bool value);
    bool System() const;
    void setSystem(bool value);
    void Refresh();
    // Column SubItem of the item at ListIndex; empty when there is none.
    QString FileName(int SubItem = 0) const;
    void setFileName(const QString& value, int SubItem = 0);
    // Sorts by a clicked header (0 name, 1 size, 2 type, 3 date); false when nothing ran.
    bool SortFilesByColumnClick(int column);

    // ---- list-box style members ----
    int ListIndex() const;
    void setListIndex(int index);
    int ListCount() const;
    QString List(int index, int SubItem = 0) const;
    void setList(int index, const QString& value);
    void setList(int index, int SubItem, const QString& value);
    bool AddItem(const QString& text, int& Index, int Icon = 0, int indent = 0);
    bool AddItem(const QString& text);
    bool RemoveItem(int Index);
    bool Selected(int Item) const;
    void setSelected(int Item, bool value);
    int SelCount() const;
    QString text(int SubItem = 0) const;
    void setText(int SubItem, const QString& value);
    int NewIndex() const;
    bool SelectAll(bool NewState = true);
    void InvertSelection();

    // ---- columns ----
    bool ColumnAdd(int Column, const QString& text, int Width, int Align = 0, int Icon = -1);
    bool ColumnRemove(int Column);
    // AutosizeType -1 fits the contents, -2 the contents and the header.
    bool ColumnAutosize(int Column, int AutosizeType = -2);
    QString ColumnText(int Column) const;
    void setColumnText(int Column, const QString& text);
    int ColumnWidth(int Column) const;
    void setColumnWidth(int Column, int Width);
    int ColumnAlign(int Column) const;
    void setColumnAlign(int Column, int Align);
    int ColumnIcon(int Column) const;
    void setColumnIcon(int Column, int Icon);
    int ColumnCount() const;

    // ---- items ----
    bool ItemAdd(int Item, const QString& text, int Icon = 0, int indent = 0);
    bool ItemRemove(int Item);
    bool Clear();
    bool ItemEnsureVisible(int Item);
    int ItemFindText(const QString& text, int StartItem = -1, int Coincidence = 2) const;
    int ItemFindState(int StartItem = -1, int State = 0) const;
    // x and y in the control's ScaleMode, relative to the list.
    int ItemHitTest(float x, float y) const;
    bool SubItemSet(int Item, int SubItem, const QString& text, int Icon = -1);
    QString ItemText(int Item) const;
    void setItemText(int Item, const QString& text);
    QString SubItemText(int Item, int SubItem) const;
    void setSubItemText(int Item, int SubItem, const QString& text);
    int ItemIcon(int Item) const;
    void setItemIcon(int Item, int Icon);
    int SubItemIcon(int Item, int SubItem) const;
    void setSubItemIcon(int Item, int SubItem, int Icon);
    int ItemIndent(int Item) const;
    void setItemIndent(int Item, int indent);
    int ItemSelected(int Item) const;
    void setItemSelected(int Item, bool Selected);
    bool ItemFocused(int Item) const;
    void setItemFocused(int Item, bool Focused);
    bool ItemChecked(int Item) const;
    void setItemChecked(int Item, bool Checked);
    bool ItemGhosted(int Item) const;
    void setItemGhosted(int Item, bool Ghosted);
    int count() const;
    int SelectedCount() const;

    // ---- sorting ----
    bool Sort(int Column = 0, int New_SortOrder = 2, int New_SortType = 0);
    int SortColumn() const;
    int SortOrder() const;
    int SortType() const;

    // ---- image lists ----
    bool InitializeImageListSmall(int ImageWidth = 16, int ImageHeight = 16);
    bool InitializeImageListLarge(int ImageWidth = 32, int ImageHeight = 32);
    bool InitializeImageListHeader(int ImageWidth = 16, int ImageHeight = 16);
    // The new image's index; 0 when the list does not exist. An invalid MaskColor adds the
    // picture unmasked.
    int ImageListSmall_AddBitmap(const QImage& bitmap, const QColor& MaskColor = QColor());
    int ImageListLarge_AddBitmap(const QImage& bitmap, const QColor& MaskColor = QColor());
    int ImageListHeader_AddBitmap(const QImage& bitmap, const QColor& MaskColor = QColor());
    int ImageListSmall_AddIcon(const QIcon& icon);
    int ImageListLarge_AddIcon(const QIcon& icon);
    int ImageListHeader_AddIcon(const QIcon& icon);

    // ---- appearance ----
    int ViewMode() const { return m_viewMode; }
    void setViewMode(int value);
    bool MultiSelect() const { return m_multiSelect; }
    void setMultiSelect(bool value);
    bool HideSelection() const { return m_hideSelection; }
    void setHideSelection(bool value);
    bool LabelEdit() const { return m_labelEdit; }
    void setLabelEdit(bool value);
    bool NoColumnHeaders() const { return m_noColumnHeaders; }
    void setNoColumnHeaders(bool value);
    bool NoScrollBar() const { return m_noScrollBar; }
    void setNoScrollBar(bool value);
    bool GridLines() const { return m_gridLines; }
    void setGridLines(bool value);
    bool SubItemImages() const { return m_subItemImages; }
    void setSubItemImages(bool value);
    bool CheckBoxes() const { return m_checkBoxes; }
    void setCheckBoxes(bool value);
    bool TrackSelect() const { return m_trackSelect; }
    void setTrackSelect(bool value) { m_trackSelect = value; }
    bool HeaderDragDrop() const { return m_headerDragDrop; }
    void setHeaderDragDrop(bool value);
    bool FullRowSelect() const { return m_fullRowSelect; }
    void setFullRowSelect(bool value);
    bool OneClickActivate() const { return m_oneClickActivate; }
    void setOneClickActivate(bool value);
    bool TwoClickActivate() const { return m_twoClickActivate; }
    void setTwoClickActivate(bool value);
    bool FlatScrollBar() const { return m_flatScrollBar; }
    void setFlatScrollBar(bool value) { m_flatScrollBar = value; }
    bool InfoTips() const { return m_infoTips; }
    void setInfoTips(bool value);
    bool UnderlineHot() const { return m_underlineHot; }
    void setUnderlineHot(bool value);
    bool LabelTips() const { return m_labelTips; }
    void setLabelTips(bool value);
    bool ItemBorderSelect() const { return m_itemBorderSelect; }
    void setItemBorderSelect(bool value) { m_itemBorderSelect = value; }
    bool DoubleBuffer() const { return m_doubleBuffer; }
    void setDoubleBuffer(bool value) { m_doubleBuffer = value; }
    bool HideLabels() const { return m_hideLabels; }
    void setHideLabels(bool value);
    bool SingleRow() const { return m_singleRow; }
    void setSingleRow(bool value) { m_singleRow = value; }
    bool SnapIconsToGrid() const { return m_snapIconsToGrid; }
    void setSnapIconsToGrid(bool value);
    bool SimpleSelect() const { return m_simpleSelect; }
    void setSimpleSelect(bool value);
    bool HeaderFlat() const { return m_headerFlat; }
    void setHeaderFlat(bool value);
    // While on, dragging a column divider leaves the width as it was.
    bool HeaderFixedWidth() const { return m_headerFixedWidth; }
    void setHeaderFixedWidth(bool value);
    bool RaiseSubItemPrePaint() const { return m_raiseSubItemPrePaint; }
    void setRaiseSubItemPrePaint(bool value);
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int value);
    // Colour values (0x00BBGGRR, or a system colour with the top bit set); the getters
    // give the colour in use as a plain value.
    quint32 BackColor() const;
    void setBackColor(quint32 value);
    quint32 ForeColor() const;
    void setForeColor(quint32 value);
    QFont Font() const { return font(); }
    bool Enabled() const { return isEnabled(); }
    // 1 twips, 3 pixels: the unit of the mouse events and ItemHitTest.
    int ScaleMode() const { return m_scaleMode; }
    void setScaleMode(int value) { m_scaleMode = value; }
    QString BackgroundPicture() const { return m_backgroundPicture; }
    void setBackgroundPicture(const QString& value);
    int OLEDropMode() const { return m_oleDropMode; }
    void setOLEDropMode(int value) { m_oleDropMode = value; }

    // ---- stored design values ----
    void UserControl_ReadProperties(const platform::PropertyBag& PropBag);
    void UserControl_WriteProperties(platform::PropertyBag& PropBag) const;
    // Reads the design values stored for a named instance (":/design/<name>.json"), as the
    // host does when it creates that instance. False when none are stored.
    bool ReadDesignValues(const QString& instanceName);

    // The model behind the control, for hosts and tests that want it whole.
    ListModel& model() { return m_model; }
    const ListModel& model() const { return m_model; }
    QAbstractItemView* currentView() const;

signals:
    void Click();
    void DblClick();
    void ItemClick(int Item);
    void ItemCheck(int Item);
    void ColumnClick(int Column);
    void ColumnRightClick(int Column);
    void KeyDown(int KeyCode, int Shift);
    void KeyPress(int KeyAscii);
    void KeyUp(int KeyCode, int Shift);
    void MouseDown(int Button, int Shift, float x, float y);
    void MouseMove(int Button, int Shift, float x, float y);
    void MouseUp(int Button, int Shift, float x, float y);
    void MouseEnter();
    void MouseLeave();
    // Handlers set Cancel to refuse the edit; connect directly (the arguments are
    // references into the control).
    void BeforeLabelEdit(bool& Cancel);
    void AfterLabelEdit(bool& Cancel, QString& NewString);
    void Resize();
    void OnSubItemPrePaint(int Item, int SubItem, quint32& TextBackColor, quint32& TextForeColor,
                           bool& Apply);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class FileListViewInput;
    void buildViews();
    void applyColumns();
    void applyPalette();
    void applySelectionMode();
    void applyEditTriggers();
    void applyHotTracking();
    void setBusy(bool busy);
    QPointF toScale(QPointF pixels) const;
    QPoint fromScale(float x, float y) const;
    double twipsPerPixel() const;

    ListModel m_model;
    FolderList m_folder{m_model};
    std::unique_ptr<FileListViewInput> m_input;
    FileListItemModel* m_adapter = nullptr;
    FileListItemDelegate* m_delegate = nullptr;
    QTreeView* m_tree = nullptr;
    QListView* m_icons = nullptr;  // made on the first switch to an icon or list mode
    bool m_applyingColumns = false;

    int m_viewMode = 1;
    bool m_multiSelect = true;
    bool m_hideSelection = false;
    bool m_labelEdit = false;
    bool m_noColumnHeaders = false;
    bool m_noScrollBar = false;
    bool m_gridLines = false;
    bool m_subItemImages = false;
    bool m_checkBoxes = false;
    bool m_trackSelect = false;
    bool m_headerDragDrop = true;
    bool m_fullRowSelect = true;
    bool m_oneClickActivate = true;
    bool m_twoClickActivate = false;
    bool m_flatScrollBar = false;
    bool m_infoTips = true;
    bool m_underlineHot = true;
    bool m_labelTips = true;
    bool m_itemBorderSelect = false;
    bool m_doubleBuffer = true;
    bool m_hideLabels = false;
    bool m_singleRow = false;
    bool m_snapIconsToGrid = true;
    bool m_simpleSelect = false;
    bool m_headerFlat = false;
    bool m_headerFixedWidth = false;
    bool m_raiseSubItemPrePaint = false;
    int m_borderStyle = 1;
    quint32 m_backColor = 0x80000005u;
    quint32 m_foreColor = 0x80000008u;
    int m_scaleMode = 1;
    QString m_backgroundPicture;
    int m_oleDropMode = 0;
};
