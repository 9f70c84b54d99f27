#pragma once

#include <QString>

#include <optional>

namespace platform {

// The buttons a message box offers.
enum class MessageButtons { Ok, OkCancel, YesNoCancel, YesNo };
// The icon it shows beside its text.
enum class MessageIcon { None, Critical, Question, Warning, Information };
// The button the user pressed; closing the box answers as its Cancel button would, or as
// OK when it has none.
enum class MessageAnswer { Ok, Cancel, Yes, No };

// Modal questions to the user.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MessageAnswer messageBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                                     const QString& title) = 0;
    // The typed text, or nothing when the user cancelled.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    // The chosen folder, or nothing when the user cancelled.
    virtual std::optional<QString> pickFolder(const QString& title, const QString& start) = 0;
};

}  // namespace platform
