#pragma once

#include "platform/Volumes.h"

namespace platform {

// One line of the system's mount table, as far as choosing drives needs it.
struct MountedVolume {
    QString root;  // with or without the trailing "/"
    QString name;  // label, or the root path when the volume has none
    QString fileSystem;
    bool ready = true;   // mounted and readable now
    bool folder = true;  // the mount point is a folder (single files get bind-mounted too)
};

// The volumes worth offering as drives: real file systems and removable media, not the
// kernel's pseudo file systems, the system's own mounts or packaged-application images.
// "/" always comes first, even when the table does not list it; a root listed twice
// (stacked mounts) comes once.
QList<Drive> drivesOf(const QList<MountedVolume>& mounted);

// The mounted, ready volumes of the system.
class StorageVolumes final : public Volumes {
public:
    QStringList roots() override;
    QString rootOf(const QString& path) override;
    QList<Drive> drives() override;
};

}  // namespace platform
