// The control's appearance properties, applied to the Qt views where Qt has a like
// setting and stored either way.

#include "filelist/ColorValues.h"
#include "filelist/ui/ucHostedView.h"
#include "filelist/ui/ucListItemDelegate.h"
#include "filelist/ui/ucListModelAdapter.h"
#include "filelist/ui/ucListView.h"
#include "filelist/ui/ucListViewInput.h"

#include <QHeaderView>
#include <QListView>
#include <QPixmap>
#include <QStackedLayout>
#include <QTreeView>

void ucListView::setViewMode(int value) {
    m_viewMode = value;
    auto* layout = static_cast<QStackedLayout*>(this->layout());
    if (value == 1 || value < 0 || value > 3) {
        layout->setCurrentWidget(m_tree);
        setFocusProxy(m_tree);
        return;
    }
    if (!m_icons) {
        auto* icons = new ucHostedView<QListView>(*m_input, this);
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

void ucListView::applySelectionMode() {
    QAbstractItemView::SelectionMode mode = !m_multiSelect   ? QAbstractItemView::SingleSelection
                                            : m_simpleSelect ? QAbstractItemView::MultiSelection
                                                             : QAbstractItemView::ExtendedSelection;
    m_tree->setSelectionMode(mode);
    if (m_icons) m_icons->setSelectionMode(mode);
}

void ucListView::setMultiSelect(bool value) {
    m_multiSelect = value;
    m_model.setSingleSelection(!value);
    applySelectionMode();
}

void ucListView::setSimpleSelect(bool value) {
    m_simpleSelect = value;
    applySelectionMode();
}

void ucListView::setHideSelection(bool value) {
    m_hideSelection = value;
    applyPalette();
}

void ucListView::applyEditTriggers() {
    const auto triggers =
        m_labelEdit ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                    : QAbstractItemView::NoEditTriggers;
    m_tree->setEditTriggers(triggers);
    if (m_icons) m_icons->setEditTriggers(triggers);
}

void ucListView::setLabelEdit(bool value) {
    m_labelEdit = value;
    m_adapter->setLabelEdit(value);
    applyEditTriggers();
}

void ucListView::setNoColumnHeaders(bool value) {
    m_noColumnHeaders = value;
    m_tree->header()->setVisible(!value);
}

void ucListView::setNoScrollBar(bool value) {
    m_noScrollBar = value;
    const auto policy = value ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(m_tree), static_cast<QAbstractItemView*>(m_icons)}) {
        if (!v) continue;
        v->setHorizontalScrollBarPolicy(policy);
        v->setVerticalScrollBarPolicy(policy);
    }
}

void ucListView::setGridLines(bool value) {
    m_gridLines = value;
    m_delegate->setGridLines(value);
    currentView()->viewport()->update();
}

void ucListView::setSubItemImages(bool value) {
    m_subItemImages = value;
    m_adapter->setSubItemImages(value);
    currentView()->viewport()->update();
}

void ucListView::setCheckBoxes(bool value) {
    m_checkBoxes = value;
    m_adapter->setCheckBoxes(value);
    m_model.setCheckBoxes(value);
    currentView()->viewport()->update();
}

void ucListView::setHeaderDragDrop(bool value) {
    m_headerDragDrop = value;
    m_tree->header()->setSectionsMovable(value);
}

void ucListView::setFullRowSelect(bool value) {
    m_fullRowSelect = value;
    m_tree->setAllColumnsShowFocus(value);
    m_delegate->setFullRowSelect(value);
    m_tree->viewport()->update();
}

void ucListView::setHideLabels(bool value) {
    m_hideLabels = value;
    m_delegate->setHideLabels(value);
    currentView()->viewport()->update();
}

void ucListView::setSnapIconsToGrid(bool value) {
    m_snapIconsToGrid = value;
    if (m_icons && m_viewMode == 0)
        m_icons->setMovement(value ? QListView::Static : QListView::Free);
}

void ucListView::setHeaderFlat(bool value) {
    m_headerFlat = value;
    // Flat headers are not buttons: they do not press in when clicked.
    m_tree->header()->setHighlightSections(!value);
}

void ucListView::setHeaderFixedWidth(bool value) {
    m_headerFixedWidth = value;
    applyColumns();
}

void ucListView::setRaiseSubItemPrePaint(bool value) {
    m_raiseSubItemPrePaint = value;
    if (!value) {
        m_delegate->cellColors = nullptr;
    } else {
        m_delegate->cellColors = [this](int item, int sub, QColor& back, QColor& fore) {
            quint32 backValue = ColorValue(back), foreValue = ColorValue(fore);
            bool apply = false;
            emit OnSubItemPrePaint(item, sub, backValue, foreValue, apply);
            if (apply) {
                back = TranslateColor(backValue, palette());
                fore = TranslateColor(foreValue, palette());
            }
            return apply;
        };
    }
    currentView()->viewport()->update();
}

void ucListView::setBorderStyle(int value) {
    m_borderStyle = value;
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
    emit Resize();
}

quint32 ucListView::BackColor() const {
    return ColorValue(TranslateColor(m_backColor, palette()));
}

void ucListView::setBackColor(quint32 value) {
    m_backColor = value;
    applyPalette();
}

quint32 ucListView::ForeColor() const {
    return ColorValue(TranslateColor(m_foreColor, palette()));
}

void ucListView::setForeColor(quint32 value) {
    m_foreColor = value;
    applyPalette();
}

void ucListView::setBackgroundPicture(const QString& value) {
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

void ucListView::applyPalette() {
    QPalette p = palette();
    const QColor back = TranslateColor(m_backColor, p);
    const QColor fore = TranslateColor(m_foreColor, p);
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

void ucListView::applyHotTracking() {
    // The hot item is underlined only where a single or double click activates items.
    m_delegate->setUnderlineHot(m_underlineHot && (m_oneClickActivate || m_twoClickActivate));
    m_adapter->setTips(m_infoTips || m_labelTips);
    currentView()->viewport()->update();
}

void ucListView::setOneClickActivate(bool value) {
    m_oneClickActivate = value;
    applyHotTracking();
}

void ucListView::setTwoClickActivate(bool value) {
    m_twoClickActivate = value;
    applyHotTracking();
}

void ucListView::setUnderlineHot(bool value) {
    m_underlineHot = value;
    applyHotTracking();
}

void ucListView::setInfoTips(bool value) {
    m_infoTips = value;
    applyHotTracking();
}

void ucListView::setLabelTips(bool value) {
    m_labelTips = value;
    applyHotTracking();
}
