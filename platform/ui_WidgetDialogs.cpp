#include "platform/ui_WidgetDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {

namespace {
// The low bits choose the buttons; a question icon travels in the 32 bit, as callers
// pass 33 for OK/Cancel with a question.
QMessageBox::StandardButtons buttonsFor(int buttons) {
    switch (buttons & 7) {
        case Dialogs::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Dialogs::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case Dialogs::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon iconFor(int buttons) {
    switch (buttons & 0x70) {
        case 0x10:
            return QMessageBox::Critical;
        case 0x20:
            return QMessageBox::Question;
        case 0x30:
            return QMessageBox::Warning;
        case 0x40:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}
}  // namespace

int WidgetDialogs::messageBox(const QString& text, int buttons, const QString& title) {
    QMessageBox box(iconFor(buttons), title, text, buttonsFor(buttons), m_owner);
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return ResultCancel;
        case QMessageBox::Yes:
            return ResultYes;
        case QMessageBox::No:
            return ResultNo;
        default:
            return ResultOk;
    }
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
