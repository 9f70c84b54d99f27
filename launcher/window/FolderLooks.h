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
    bool listable = false;  // enterable, and its entries can be read
    FolderRows rows;        // its ancestors, and its sub-folders when it can be read
    // Only when asked for: every volume is asked whether it is ready, so a hung share
    // anywhere holds the look, not only one in the folder's way.
    QList<platform::Drive> drives;
};

class FolderLooks {
public:
    // The volumes must outlive every thread this starts; the program's own do.
    explicit FolderLooks(platform::Volumes& volumes) : m_volumes(volumes) {}

    // `answered` runs on the window's thread unless a newer look was asked meanwhile.
    void ask(const QString& folder, bool withDrives,
             std::function<void(const FolderLook&)> answered);
    bool pending() const { return m_work.pending(); }

    // A look held this long by a share that stopped answering is left behind, so that the
    // lists still answer for every other folder.
    static constexpr int kHeldMs = 250;

private:
    platform::Volumes& m_volumes;
    platform::LatestWork m_work{kHeldMs};
};
