#pragma once

#include "platform/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace platform {

// Modal message boxes, input boxes and the folder chooser, over the window they belong to.
class WidgetDialogs final : public Dialogs {
public:
    explicit WidgetDialogs(QWidget* owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget* owner) { m_owner = owner; }

    MessageAnswer messageBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                             const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    std::optional<QString> pickFolder(const QString& title, const QString& start) override;

private:
    QPointer<QWidget> m_owner;
};

}  // namespace platform
