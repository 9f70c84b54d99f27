#pragma once

#include "platform/DesktopHandlers.h"
#include "platform/Shell.h"

namespace platform {

// Starts programs detached, with their arguments handed over one by one (no shell ever
// sees them), and opens documents, folders and web addresses with the desktop's handler.
// A Windows program (a file whose content begins with "MZ") runs through wine when wine
// is installed. Paths travel as the bytes they stand for on disk (platform/FileNames.h).
class DesktopShell final : public Shell {
public:
    // wine: the wine program to use; empty when there is none. opener: the program that
    // opens a local file with the desktop's handler; empty leaves it to Qt.
    // associations: where the desktop's file associations are read; a local file whose type
    // they give no program for is not handed to the opener (open() is false).
    explicit DesktopShell(QString wine = findWine(), QString opener = findOpener(),
                          AssociationFolders associations = AssociationFolders::current());
    static QString findWine();
    static QString findOpener();

    // The start as it will really happen: wrapped in wine for a Windows program.
    static ProgramStart resolve(const ProgramStart& start, const QString& wine);

    bool start(const ProgramStart& start) override;
    bool open(const QString& target) override;

private:
    QString m_wine;
    QString m_opener;
    AssociationFolders m_associations;
};

}  // namespace platform
