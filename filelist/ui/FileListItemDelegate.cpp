#include "filelist/ui/FileListItemDelegate.h"

#include "filelist/ListModel.h"

#include <QPainter>

FileListItemDelegate::FileListItemDelegate(const ListModel& model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model) {}

void FileListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    const int row = index.row();
    if (index.column() == 0) {
        const int indent = m_model.itemIndent(row);
        if (indent > 0) opt.rect.adjust(indent * m_indentWidth, 0, 0, 0);
    }
    if (m_model.itemGhosted(row)) {
        QColor c = opt.palette.color(QPalette::Text);
        c.setAlpha(128);
        opt.palette.setColor(QPalette::Text, c);
    }
    QStyledItemDelegate::paint(painter, opt, index);
    if (m_gridLines) {
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
}

void FileListItemDelegate::initStyleOption(QStyleOptionViewItem* option,
                                           const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (m_hideLabels) option->text.clear();
    if (!m_fullRowSelect && index.column() > 0) option->state &= ~QStyle::State_Selected;
    if (m_underlineHot && (option->state & QStyle::State_MouseOver))
        option->font.setUnderline(true);
}
