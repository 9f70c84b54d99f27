#include "platform/ui/WidgetDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace platform {

namespace {
QMessageBox::StandardButtons buttonsFor(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon iconFor(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}
// A message box grows with its text; past this many lines it would reach beyond the
// screen, so such texts are shown in a scrolling box instead.
constexpr int kMaxBoxLines = 25;

MessageAnswer answerOf(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Ok;
    }
}

MessageAnswer scrollingBox(QWidget* owner, const QString& text, MessageButtons buttons,
                           MessageIcon icon, const QString& title) {
    QDialog dialog(owner);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    QMessageBox probe(iconFor(icon), QString(), QString());
    if (!probe.iconPixmap().isNull()) {
        auto* icon = new QLabel(&dialog);
        icon->setPixmap(probe.iconPixmap());
        icon->setAlignment(Qt::AlignTop);
        row->addWidget(icon);
    }
    auto* view = new QPlainTextEdit(text, &dialog);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    row->addWidget(view, 1);
    layout->addLayout(row, 1);
    auto* box =
        new QDialogButtonBox(QDialogButtonBox::StandardButtons(int(buttonsFor(buttons))), &dialog);
    layout->addWidget(box);
    QMessageBox::StandardButton pressed = QMessageBox::Cancel;
    QObject::connect(box, &QDialogButtonBox::clicked, &dialog, [&](QAbstractButton* b) {
        pressed = QMessageBox::StandardButton(int(box->standardButton(b)));
        dialog.accept();
    });
    const QScreen* screen = owner ? owner->screen() : nullptr;
    const QSize room = screen ? screen->availableSize() : QSize(1024, 768);
    dialog.resize(room.width() * 2 / 3, room.height() * 2 / 3);
    // Closing the box by its frame answers as its escape button would.
    if (dialog.exec() != QDialog::Accepted)
        return box->button(QDialogButtonBox::Cancel) ? MessageAnswer::Cancel : MessageAnswer::Ok;
    return answerOf(pressed);
}
}  // namespace

MessageAnswer WidgetDialogs::messageBox(const QString& text, MessageButtons buttons,
                                        MessageIcon icon, const QString& title) {
    if (text.count(QLatin1Char('\n')) > kMaxBoxLines)
        return scrollingBox(m_owner, text, buttons, icon, title);
    QMessageBox box(iconFor(icon), title, text, buttonsFor(buttons), m_owner);
    return answerOf(QMessageBox::StandardButton(box.exec()));
}

std::optional<QString> WidgetDialogs::inputBox(const QString& prompt, const QString& title,
                                               const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_owner, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<QString> WidgetDialogs::pickFolder(const QString& title, const QString& start) {
    const QString folder = QFileDialog::getExistingDirectory(m_owner, title, start);
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

}  // namespace platform
