#pragma once

// A Qt item view that lets the file list see each click and key after the view has
// acted on it, so the events the window hears describe the selection as it now is.

#include <QAbstractItemView>
#include <QAccessible>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>

class ItemViewInput {
public:
    virtual ~ItemViewInput() = default;
    virtual void beginUserAction() = 0;
    virtual void endUserAction() = 0;
    virtual void mousePressed(QAbstractItemView* view, QMouseEvent* e) = 0;
    virtual void mouseReleased(QAbstractItemView* view, QMouseEvent* e, bool onCheckBox) = 0;
    virtual void mouseDoubleClicked() = 0;
    virtual void keyPressed(QKeyEvent* e) = 0;
    // Keys the view must not act on itself (no scrolling, no type-ahead): its owner has
    // a meaning of its own for them.
    virtual bool keptFromView(const QKeyEvent* e) const = 0;
    virtual void keyReleased(QKeyEvent* e) = 0;
};

template <class Base>
class HostedItemView : public Base {
public:
    HostedItemView(ItemViewInput& input, QWidget* parent) : Base(parent), m_input(input) {}

    // Whether a point of the viewport lies on an item's check box.
    bool onCheckBox(const QPoint& pos) const {
        const QModelIndex index = this->indexAt(pos);
        if (!index.isValid() || !(index.flags() & Qt::ItemIsUserCheckable)) return false;
        QStyleOptionViewItem opt;
        const_cast<HostedItemView*>(this)->initViewItemOption(&opt);
        opt.rect = this->visualRect(index);
        opt.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QWidget* w = this;
        const QRect box =
            this->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, w);
        return box.contains(pos);
    }

    // More changed rows than this are not measured one by one (below).
    static constexpr int kRowsMeasured = 200;

protected:
    // A change over many rows at once (the play columns of a whole folder, a batch of
    // lengths and dates spread over the list) would have Qt measure every changed row to
    // find the area to repaint: tens of milliseconds on the window's thread for a folder of
    // thirty thousand games, while keys wait. The rows are of one height, so repainting
    // what is in sight says the same; a screen reader still hears of the whole change.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override {
        if (bottomRight.row() - topLeft.row() < kRowsMeasured) {
            Base::dataChanged(topLeft, bottomRight, roles);
            return;
        }
        this->viewport()->update();
        if (QAccessible::isActive()) {
            QAccessibleTableModelChangeEvent event(this,
                                                   QAccessibleTableModelChangeEvent::DataChanged);
            event.setFirstRow(topLeft.row());
            event.setFirstColumn(topLeft.column());
            event.setLastRow(bottomRight.row());
            event.setLastColumn(bottomRight.column());
            QAccessible::updateAccessibility(&event);
        }
    }
    void mousePressEvent(QMouseEvent* e) override {
        m_input.beginUserAction();
        Base::mousePressEvent(e);
        m_input.endUserAction();
        m_input.mousePressed(this, e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        const bool check = onCheckBox(e->position().toPoint());
        m_input.beginUserAction();
        Base::mouseReleaseEvent(e);
        m_input.endUserAction();
        m_input.mouseReleased(this, e, check);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        m_input.beginUserAction();
        Base::mouseDoubleClickEvent(e);
        m_input.endUserAction();
        m_input.mouseDoubleClicked();
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        m_input.beginUserAction();
        Base::mouseMoveEvent(e);
        m_input.endUserAction();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (!m_input.keptFromView(e)) {
            m_input.beginUserAction();
            Base::keyPressEvent(e);
            m_input.endUserAction();
        }
        // The list keeps its keys; the window hears them through keyDown.
        e->accept();
        m_input.keyPressed(e);
    }
    void keyReleaseEvent(QKeyEvent* e) override {
        Base::keyReleaseEvent(e);
        e->accept();
        m_input.keyReleased(e);
    }

private:
    ItemViewInput& m_input;
};
