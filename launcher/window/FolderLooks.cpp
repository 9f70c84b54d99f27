#include "launcher/window/FolderLooks.h"

void FolderLooks::ask(const QString& folder, bool withDrives,
                      std::function<void(const FolderLook&)> answered) {
    platform::Volumes* volumes = &m_volumes;
    m_work.give(
        [volumes, withDrives, folder = folderPathOf(folder),
         answered = std::move(answered)](const std::function<bool()>&) -> std::function<void()> {
            FolderLook look;
            look.folder = folder;
            if (withDrives) look.drives = volumes->drives();
            look.enterable = canEnterFolder(folder);
            look.listable = look.enterable && canListFolder(folder);
            // Ancestors only for a folder gone or shut: what it held is not known.
            look.rows = look.enterable ? rowsOf(folder) : ancestorRowsOf(folder);
            return [answered, look = std::move(look)] { answered(look); };
        });
}
