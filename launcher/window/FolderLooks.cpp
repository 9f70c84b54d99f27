#include "launcher/window/FolderLooks.h"

void FolderLooks::ask(const QString& folder, std::function<void(const FolderLook&)> answered) {
    platform::Volumes* volumes = &m_volumes;
    m_work.give([volumes, folder = folderPathOf(folder), answered = std::move(answered)](
                    const std::function<bool()>&) -> std::function<void()> {
        FolderLook look;
        look.folder = folder;
        look.drives = volumes->drives();
        look.root = volumes->rootOf(folder);
        look.enterable = canEnterFolder(folder);
        if (look.enterable) look.rows = rowsOf(folder);
        return [answered, look = std::move(look)] { answered(look); };
    });
}
