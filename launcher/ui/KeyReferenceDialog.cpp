#include "launcher/ui/KeyReferenceDialog.h"

#include "launcher/window/KeyReference.h"

#include <QKeyEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

KeyReferenceDialog::KeyReferenceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("keyReference"));
    setWindowTitle(QStringLiteral("Rombard keys"));
    setAccessibleName(QStringLiteral("Keys"));
    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("keyTable"));
    text->setAccessibleName(QStringLiteral("Key reference"));
    text->setMarkdown(RenderKeyReference(KeyTableFormat::Markdown));
    text->setOpenLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text);
    resize(720, 640);
}

void KeyReferenceDialog::keyPressEvent(QKeyEvent* event) {
    // F1 opened it, so F1 closes it too; QDialog already closes on Escape.
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}
