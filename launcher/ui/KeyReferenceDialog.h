#pragma once

// F1's window: the key reference, read-only, closed by F1 or Escape.

#include <QDialog>

class KeyReferenceDialog : public QDialog {
    Q_OBJECT
public:
    explicit KeyReferenceDialog(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
