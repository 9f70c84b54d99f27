#pragma once

// What the drive and folder lists show, looked up off the window's thread: the mounted
// volumes (each asked whether it is ready, which a hung share never answers), whether the
// folder can be entered, and its sub-folders. Only the newest look is answered.

#include "launcher/window/FolderNavigation.h"
#include "platform/LatestWork.h"
#include "platform/Volumes.h"

#include <functional>

struct FolderLook {
    QString folder;  // as asked, in folderPathOf's form
    bool enterable = false;
    FolderRows rows;  // the folder's rows when it can be entered
    QList<platform::Drive> drives;
    QString root;  // the root of the volume holding the folder
};

class FolderLooks {
public:
    // The volumes must outlive every thread this starts; the program's own do.
    explicit FolderLooks(platform::Volumes& volumes) : m_volumes(volumes) {}

    // `answered` runs on the window's thread unless a newer look was asked meanwhile.
    void ask(const QString& folder, std::function<void(const FolderLook&)> answered);
    bool pending() const { return m_work.pending(); }

private:
    platform::Volumes& m_volumes;
    platform::LatestWork m_work;
};
