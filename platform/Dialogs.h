#pragma once

#include <QString>

#include <optional>

namespace platform {

// Modal questions to the user. The button sets and results are fixed numbers (buttons
// 0 OK, 1 OK/Cancel, 3 Yes/No/Cancel, 4 Yes/No; results 1 OK, 2 Cancel, 6 Yes, 7 No) so a
// fake in the tests can answer by number.
class Dialogs {
public:
    enum Buttons { Ok = 0, OkCancel = 1, YesNoCancel = 3, YesNo = 4 };
    enum Result { ResultOk = 1, ResultCancel = 2, ResultYes = 6, ResultNo = 7 };

    virtual ~Dialogs() = default;
    virtual int messageBox(const QString& text, int buttons, const QString& title) = 0;
    // The typed text, or nothing when the user cancelled.
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;
    // The chosen folder, or nothing when the user cancelled.
    virtual std::optional<QString> pickFolder(const QString& title, const QString& start) = 0;
};

}  // namespace platform
