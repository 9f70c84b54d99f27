#pragma once

#include "platform/Shell.h"

namespace platform {

// Starts programs detached, with their arguments handed over one by one (no shell ever
// sees them), and opens documents, folders and web addresses with the desktop's handler.
// A Windows program (a file whose content begins with "MZ") runs through wine when wine
// is installed.
class DesktopShell final : public Shell {
public:
    // wine: the wine program to use; empty when there is none.
    explicit DesktopShell(QString wine = findWine());
    static QString findWine();

    // The start as it will really happen: wrapped in wine for a Windows program.
    static ProgramStart resolve(const ProgramStart& start, const QString& wine);

    bool start(const ProgramStart& start) override;
    bool open(const QString& target) override;

private:
    QString m_wine;
};

}  // namespace platform
