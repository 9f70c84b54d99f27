#pragma once

// The file list: lists a folder by masks into a ListModel and shows it in a tree view
// (report mode) or a list view (icon and list modes), turning the user's clicks and keys
// into the events the window is written against. How it looks comes from its stored
// design values (readDesignValues), the way the window creates it.

#include "filelist/FolderList.h"
#include "filelist/ListModel.h"
#include "platform/PropertyBag.h"

#include <QIcon>
#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QAbstractItemView;
class QTimer;
class QListView;
class QTreeView;
class FileListItemModel;
class FileListItemDelegate;
class FileListViewInput;

class FileListView : public QWidget {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);
    ~FileListView() override;

    // ---- the folder listed ----
    QString path() const;
    void setPath(const QString& value);
    QString pattern() const;
    void setPattern(const QString& value);
    void refresh();
    // Reads every folder on a thread of its own from now on (FolderList::readInBackground):
    // the rows in sight get their lengths and dates first, and a folder whose names have not
    // come after kNoAnswerMs is said not to answer.
    void readFoldersInBackground();
    static constexpr int kNoAnswerMs = 3000;
    // Column `column` of the chosen item; empty when none is chosen.
    QString fileName(int column = 0) const;
    // Sorts by a clicked header (0 name, 1 size, 2 type, 3 date); false when nothing ran.
    bool sortFilesByColumnClick(int column);

    // The model and the folder, for the play history's columns and filter.
    ListModel& model() { return m_model; }
    FolderList& folderList() { return m_folder; }

    // ---- the items ----
    int listIndex() const;
    // Chooses the item and scrolls it into sight; -1 chooses none.
    void setListIndex(int index);
    int listCount() const;
    QString list(int index, int column = 0) const;
    bool removeItem(int index);

    // ---- icons and looks ----
    // Starts an empty list of small icons of that size; every item shows icon 0.
    bool initializeSmallIcons(int width = 16, int height = 16);
    // The new icon's index.
    int addSmallIcon(const QIcon& icon);
    // 0x00BBGGRR, or a system colour with the top bit set.
    void setBackColor(quint32 value);
    // 0 large icons, 1 report (columns), 2 small icons, 3 a list flowing down in columns.
    void setViewMode(int value);

    // ---- stored design values ----
    // Every key not in the bag takes its default.
    void readProperties(const platform::PropertyBag& bag);
    // Reads the design values stored for a named instance (":/design/<name>.json"), as the
    // window does when it creates that instance. False when none are stored.
    bool readDesignValues(const QString& instanceName);

    // Keys the view leaves alone whatever the modifiers (no sideways scroll, no type-ahead):
    // they reach the owner through keyDown only.
    void setKeysKeptFromView(QList<Qt::Key> keys) { m_keysKeptFromView = std::move(keys); }

    // The Qt view showing the items in the current mode.
    QAbstractItemView* currentView() const;

signals:
    // Reading in the background: what the list says of its folder changed
    // (FolderList::readingStatus), the folder's last listing is shown from its index, and
    // the folder's names are all in the list.
    void readingStatusChanged();
    void folderShownFromIndex();
    void folderListed();
    void dblClick();
    // The item the user chose (-1: a click on no item in a multi-selection list).
    void itemClick(int item);
    void columnClick(int column);
    // Virtual key code and shift state (1 Shift, 2 Ctrl, 4 Alt), see VirtualKeys.h.
    void keyDown(int keyCode, int shift);
    // Button (1 left, 2 right, 4 middle), shift state and the position counted from the
    // list's top left, its header included, in the ScaleMode's unit.
    void mouseDown(int button, int shift, float x, float y);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class FileListViewInput;
    struct StoredProperty;
    static const std::vector<StoredProperty>& storedProperties();

    void buildViews();
    void applyColumns();
    // Each column but the name as wide as what it holds, the name the rest (ColumnFit).
    void fitColumns();
    void applyPalette();
    void applySelectionMode();
    void applyHotTracking();
    void setBusy(bool busy);
    bool scrollToItem(int item);
    QPointF toScale(QPointF pixels) const;

    // The appearance the stored design values set.
    void setForeColor(quint32 value);
    void setMultiSelect(bool value);
    void setSimpleSelect(bool value);
    void setHideSelection(bool value);
    void setHideLabels(bool value);
    void setSnapIconsToGrid(bool value);
    void setLabelEdit(bool value);
    void setGridLines(bool value);
    void setFullRowSelect(bool value);
    void setBackgroundPicture(const QString& value);
    void setBorderStyle(int value);
    void setCheckBoxes(bool value);
    void setHeaderFlat(bool value);
    void setHeaderDragDrop(bool value);
    void setInfoTips(bool value);
    void setLabelTips(bool value);
    void setNoScrollBar(bool value);
    void setNoColumnHeaders(bool value);
    void setOneClickActivate(bool value);
    void setTwoClickActivate(bool value);
    void setUnderlineHot(bool value);
    void setScaleMode(int value) { m_scaleMode = value; }
    void setShowsHiddenFiles(bool value);

    ListModel m_model;
    FolderList m_folder{m_model};
    std::unique_ptr<FileListViewInput> m_input;
    FileListItemModel* m_adapter = nullptr;
    FileListItemDelegate* m_delegate = nullptr;
    QTreeView* m_tree = nullptr;
    QListView* m_icons = nullptr;  // made on the first switch to an icon or list mode
    QList<Qt::Key> m_keysKeptFromView;
    bool m_applyingColumns = false;
    int m_fittedColumns = -1;  // how many columns showed at the last fit
    bool m_userSizedColumns = false;

    int m_viewMode = 1;
    bool m_multiSelect = true;
    bool m_simpleSelect = false;
    bool m_hideSelection = false;
    bool m_snapIconsToGrid = true;
    bool m_oneClickActivate = true;
    bool m_twoClickActivate = false;
    bool m_infoTips = true;
    bool m_underlineHot = true;
    bool m_labelTips = true;
    quint32 m_backColor = 0x80000005u;
    quint32 m_foreColor = 0x80000008u;
    // 1: positions in 1/1440 inch; 3: in pixels.
    int m_scaleMode = 1;
    QString m_backgroundPicture;
    QTimer* m_noAnswer = nullptr;
};
