// The looks the stored design values choose, applied to the Qt views.

#include "filelist/ColorValues.h"
#include "filelist/ui/FileListItemDelegate.h"
#include "filelist/ui/FileListItemModel.h"
#include "filelist/ui/FileListView.h"
#include "filelist/ui/FileListViewInput.h"
#include "filelist/ui/HostedItemView.h"

#include <QHeaderView>
#include <QListView>
#include <QPixmap>
#include <QStackedLayout>
#include <QTreeView>

void FileListView::setViewMode(int value) {
    m_viewMode = value;
    auto* layout = static_cast<QStackedLayout*>(this->layout());
    if (value == 1 || value < 0 || value > 3) {
        layout->setCurrentWidget(m_tree);
        setFocusProxy(m_tree);
        return;
    }
    if (!m_icons) {
        auto* icons = new HostedItemView<QListView>(*m_input, this);
        m_icons = icons;
        m_icons->setModel(m_adapter);
        m_icons->setSelectionModel(m_adapter->selectionModel());
        m_icons->setItemDelegate(m_delegate);
        m_icons->setUniformItemSizes(true);
        m_icons->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_icons->viewport()->setMouseTracking(true);
        m_icons->viewport()->setAttribute(Qt::WA_Hover);
        m_icons->viewport()->setCursor(Qt::PointingHandCursor);
        m_icons->setEditTriggers(m_tree->editTriggers());
        m_icons->setSelectionMode(m_tree->selectionMode());
        m_icons->setFrameShape(m_tree->frameShape());
        m_icons->setFrameShadow(m_tree->frameShadow());
        m_icons->setPalette(m_tree->palette());
        m_icons->setAutoFillBackground(true);
        layout->addWidget(m_icons);
    }
    // 0 large icons, 2 small icons flowing across, 3 a list flowing down in columns.
    m_icons->setViewMode(value == 0 ? QListView::IconMode : QListView::ListMode);
    m_icons->setFlow(value == 3 ? QListView::TopToBottom : QListView::LeftToRight);
    m_icons->setWrapping(true);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setMovement(value == 0 && !m_snapIconsToGrid ? QListView::Free : QListView::Static);
    const ImageList& images = value == 0 ? m_model.imageListLarge() : m_model.imageListSmall();
    m_icons->setIconSize(QSize(images.width(), images.height()));
    m_adapter->setLargeIcons(value == 0);
    layout->setCurrentWidget(m_icons);
    setFocusProxy(m_icons);
}

void FileListView::applySelectionMode() {
    QAbstractItemView::SelectionMode mode = !m_multiSelect   ? QAbstractItemView::SingleSelection
                                            : m_simpleSelect ? QAbstractItemView::MultiSelection
                                                             : QAbstractItemView::ExtendedSelection;
    m_tree->setSelectionMode(mode);
    if (m_icons) m_icons->setSelectionMode(mode);
}

void FileListView::setMultiSelect(bool value) {
    m_multiSelect = value;
    m_model.setSingleSelection(!value);
    applySelectionMode();
}

void FileListView::setSimpleSelect(bool value) {
    m_simpleSelect = value;
    applySelectionMode();
}

void FileListView::setHideSelection(bool value) {
    m_hideSelection = value;
    applyPalette();
}

void FileListView::setLabelEdit(bool value) {
    m_adapter->setLabelEdit(value);
    const auto triggers =
        value ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
              : QAbstractItemView::NoEditTriggers;
    m_tree->setEditTriggers(triggers);
    if (m_icons) m_icons->setEditTriggers(triggers);
}

void FileListView::setNoColumnHeaders(bool value) {
    m_tree->header()->setVisible(!value);
}

void FileListView::setNoScrollBar(bool value) {
    const auto policy = value ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(m_tree), static_cast<QAbstractItemView*>(m_icons)}) {
        if (!v) continue;
        v->setHorizontalScrollBarPolicy(policy);
        v->setVerticalScrollBarPolicy(policy);
    }
}

void FileListView::setGridLines(bool value) {
    m_delegate->setGridLines(value);
    currentView()->viewport()->update();
}

void FileListView::setCheckBoxes(bool value) {
    m_adapter->setCheckBoxes(value);
    m_model.setCheckBoxes(value);
    currentView()->viewport()->update();
}

void FileListView::setHeaderDragDrop(bool value) {
    m_tree->header()->setSectionsMovable(value);
}

void FileListView::setFullRowSelect(bool value) {
    m_tree->setAllColumnsShowFocus(value);
    m_delegate->setFullRowSelect(value);
    m_tree->viewport()->update();
}

void FileListView::setHideLabels(bool value) {
    m_delegate->setHideLabels(value);
    currentView()->viewport()->update();
}

void FileListView::setSnapIconsToGrid(bool value) {
    m_snapIconsToGrid = value;
    if (m_icons && m_viewMode == 0)
        m_icons->setMovement(value ? QListView::Static : QListView::Free);
}

void FileListView::setHeaderFlat(bool value) {
    // Flat headers are not buttons: they do not press in when clicked.
    m_tree->header()->setHighlightSections(!value);
}

void FileListView::setBorderStyle(int value) {
    QFrame::Shape shape = QFrame::StyledPanel;
    QFrame::Shadow shadow = QFrame::Plain;
    switch (value) {
        case 0:
            shape = QFrame::NoFrame;
            break;
        case 1:
            shape = QFrame::Box;
            shadow = QFrame::Plain;
            break;
        case 2:
            shape = QFrame::StyledPanel;
            shadow = QFrame::Sunken;
            break;
        default:
            // Any other value keeps the border as it is.
            shape = m_tree->frameShape();
            shadow = m_tree->frameShadow();
            break;
    }
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(m_tree), static_cast<QAbstractItemView*>(m_icons)}) {
        if (!v) continue;
        v->setFrameShape(shape);
        v->setFrameShadow(shadow);
    }
}

void FileListView::setBackColor(quint32 value) {
    m_backColor = value;
    applyPalette();
}

void FileListView::setForeColor(quint32 value) {
    m_foreColor = value;
    applyPalette();
}

void FileListView::setBackgroundPicture(const QString& value) {
    // Only pictures the program can read from disk; anything else changes nothing.
    const QPixmap picture(value);
    if (value.isEmpty()) {
        m_backgroundPicture.clear();
    } else if (picture.isNull()) {
        return;
    } else {
        m_backgroundPicture = value;
    }
    applyPalette();
}

void FileListView::applyPalette() {
    QPalette p = palette();
    const QColor back = translateColor(m_backColor, p);
    const QColor fore = translateColor(m_foreColor, p);
    QPalette viewPalette = p;
    if (!m_backgroundPicture.isEmpty()) {
        viewPalette.setBrush(QPalette::Base, QBrush(QPixmap(m_backgroundPicture)));
    } else {
        viewPalette.setColor(QPalette::Base, back);
    }
    viewPalette.setColor(QPalette::AlternateBase, back);
    viewPalette.setColor(QPalette::Window, back);
    viewPalette.setColor(QPalette::Text, fore);
    viewPalette.setColor(QPalette::WindowText, fore);
    if (m_hideSelection) {
        // Hidden when the list has not the focus, as the list hides it.
        viewPalette.setColor(QPalette::Inactive, QPalette::Highlight, back);
        viewPalette.setColor(QPalette::Inactive, QPalette::HighlightedText, fore);
    } else {
        viewPalette.setColor(QPalette::Inactive, QPalette::Highlight,
                             p.color(QPalette::Active, QPalette::Highlight));
        viewPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                             p.color(QPalette::Active, QPalette::HighlightedText));
    }
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(m_tree), static_cast<QAbstractItemView*>(m_icons)}) {
        if (!v) continue;
        v->setPalette(viewPalette);
        // The header keeps the ordinary button look.
        if (v == m_tree) m_tree->header()->setPalette(p);
    }
    m_delegate->setIndentWidth(m_model.imageListSmall().width());
}

void FileListView::applyHotTracking() {
    // The hot item is underlined only where a single or double click activates items.
    m_delegate->setUnderlineHot(m_underlineHot && (m_oneClickActivate || m_twoClickActivate));
    m_adapter->setTips(m_infoTips || m_labelTips);
    currentView()->viewport()->update();
}

void FileListView::setOneClickActivate(bool value) {
    m_oneClickActivate = value;
    applyHotTracking();
}

void FileListView::setTwoClickActivate(bool value) {
    m_twoClickActivate = value;
    applyHotTracking();
}

void FileListView::setUnderlineHot(bool value) {
    m_underlineHot = value;
    applyHotTracking();
}

void FileListView::setInfoTips(bool value) {
    m_infoTips = value;
    applyHotTracking();
}

void FileListView::setLabelTips(bool value) {
    m_labelTips = value;
    applyHotTracking();
}
