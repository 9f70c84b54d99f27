#include "launcher/ui/KeyReferenceDialog.h"

#include "launcher/window/KeyReference.h"

#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

KeyReferenceDialog::KeyReferenceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("keyReference"));
    setWindowTitle(QStringLiteral("Rombard keys"));
    setAccessibleName(QStringLiteral("Keys"));
    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("keyTable"));
    text->setAccessibleName(QStringLiteral("Key reference"));
    text->setMarkdown(renderKeyReference(KeyTableFormat::Markdown));
    text->setOpenLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text);
    // The table scrolls by keys from the start.
    text->setFocus();
    resize(720, 640);
    // F1 opened it, so F1 closes it too, as Escape does; shortcuts, so that the text view
    // cannot keep either key for itself.
    for (const Qt::Key key : {Qt::Key_F1, Qt::Key_Escape}) {
        auto* close = new QShortcut(QKeySequence(key), this);
        connect(close, &QShortcut::activated, this, &QDialog::reject);
    }
}
