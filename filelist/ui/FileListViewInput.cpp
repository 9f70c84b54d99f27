#include "filelist/ui/FileListViewInput.h"

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListItemModel.h"
#include "filelist/ui/FileListView.h"

void FileListViewInput::beginUserAction() {
    m_list.m_adapter->beginUserAction();
}

void FileListViewInput::endUserAction() {
    m_list.m_adapter->endUserAction();
}

QPointF FileListViewInput::position(QAbstractItemView* view, QMouseEvent* e) const {
    // Positions count from the list's own top left, its header included.
    const QPointF inView = QPointF(view->viewport()->mapTo(view, QPoint(0, 0))) + e->position();
    return m_list.toScale(inView);
}

void FileListViewInput::mousePressed(QAbstractItemView* view, QMouseEvent* e) {
    const QPointF p = position(view, e);
    const int shift = shiftStateOf(e->modifiers());
    emit m_list.mouseDown(mouseButtonCode(e->button()), shift, float(p.x()), float(p.y()));
    const QModelIndex index = view->indexAt(e->position().toPoint());
    if (!index.isValid()) {
        m_list.setListIndex(-1);
        return;
    }
    const int row = index.row();
    if (m_list.m_model.itemState(row) & (ListModel::kFocused | ListModel::kSelected)) {
        // The user chose this item: it becomes the list's mark, as a click makes it.
        m_list.m_model.setSelectionMarkFromUser(row);
        emit m_list.itemClick(row);
    }
}

void FileListViewInput::mouseReleased(QAbstractItemView* view, QMouseEvent* e, bool onCheckBox) {
    const int button = mouseButtonCode(e->button());
    if (button == 1 || button == 2) {
        // A click counts anywhere but on a check box in a multi-selection list, and only
        // on an item in a single-selection one.
        const QModelIndex index = view->indexAt(e->position().toPoint());
        const bool counts = m_list.m_multiSelect ? !onCheckBox : index.isValid();
        if (counts) emit m_list.itemClick(index.isValid() ? index.row() : -1);
    }
}

void FileListViewInput::mouseDoubleClicked() {
    emit m_list.dblClick();
}

namespace {

// The shift state as the keyboard is once the key went down: a shift, control or alt key
// counts itself.
Qt::KeyboardModifiers stateAfterPress(const QKeyEvent* e) {
    Qt::KeyboardModifiers mods = e->modifiers();
    Qt::KeyboardModifier own = Qt::NoModifier;
    switch (e->key()) {
        case Qt::Key_Shift:
            own = Qt::ShiftModifier;
            break;
        case Qt::Key_Control:
            own = Qt::ControlModifier;
            break;
        case Qt::Key_Alt:
            own = Qt::AltModifier;
            break;
        default:
            return mods;
    }
    return mods | own;
}

}  // namespace

void FileListViewInput::keyPressed(QKeyEvent* e) {
    emit m_list.keyDown(virtualKeyCode(e->key(), e->modifiers()), shiftStateOf(stateAfterPress(e)));
    // Space may change the selection; the item it leaves chosen is reported at once.
    if (e->text() == QStringLiteral(" ")) itemStep();
}

bool FileListViewInput::keptFromView(const QKeyEvent* e) const {
    return m_list.m_keysKeptFromView.contains(Qt::Key(e->key()));
}

void FileListViewInput::keyReleased(QKeyEvent* e) {
    // A held key repeats its press only; the release comes once.
    if (e->isAutoRepeat()) return;
    itemStep();
}

void FileListViewInput::itemStep() {
    const int item = m_list.m_model.itemFindState(-1, ListModel::kFocused | ListModel::kSelected);
    if (item < 0) {
        m_list.setListIndex(-1);
        return;
    }
    m_list.m_model.setSelectionMarkFromUser(item);
    emit m_list.itemClick(item);
}
