#pragma once

// F1's window: the key reference, read-only, closed by F1 or Escape.

#include <QDialog>

class KeyReferenceDialog : public QDialog {
public:
    explicit KeyReferenceDialog(QWidget* parent = nullptr);
};
