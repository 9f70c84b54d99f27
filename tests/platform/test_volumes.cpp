// Which mounted volumes the drive list offers.

#include "platform/StorageVolumes.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using platform::MountedVolume;

QStringList rootsOf(const QList<platform::Drive>& drives) {
    QStringList out;
    for (const platform::Drive& d : drives)
        out << d.root;
    return out;
}

// A desktop's mount table as it really comes, pseudo mounts and all.
TEST(DrivesOf, KeepsRealAndRemovableVolumesOnly) {
    struct Case {
        MountedVolume volume;
        bool kept;
    };
    const Case cases[] = {
        {{"/proc", "/proc", "proc"}, false},
        {{"/sys/fs/cgroup", "/sys/fs/cgroup", "cgroup2"}, false},
        {{"/dev/shm", "/dev/shm", "tmpfs"}, false},
        {{"/run/user/1000", "/run/user/1000", "tmpfs"}, false},
        {{"/run/user/1000/doc", "/run/user/1000/doc", "fuse.portal"}, false},
        {{"/run/lock", "/run/lock", "ext4"}, false},
        {{"/snap/core22/1122", "/snap/core22/1122", "squashfs"}, false},
        {{"/tmp/.mount_AppXyz", "/tmp/.mount_AppXyz", "fuse.appimagekit"}, false},
        {{"/tmp", "/tmp", "tmpfs"}, false},
        {{"/boot/efi", "/boot/efi", "vfat"}, false},
        {{"/etc/hosts", "/etc/hosts", "ext4", true, false}, false},
        {{"/media/ann/OLD", "OLD", "vfat", false}, false},
        {{"/home", "/home", "btrfs"}, true},
        {{"/media/ann/GAMES/", "GAMES", "exfat"}, true},
        {{"/run/media/ann/USB", "USB", "vfat"}, true},
        {{"/mnt/nas", "/mnt/nas", "cifs"}, true},
        {{"/mnt/nas", "/mnt/nas", "nfs4"}, false},  // the same root stacked: once
    };
    QList<MountedVolume> table;
    QStringList wanted{"/"};
    for (const Case& c : cases) {
        table << c.volume;
        if (c.kept) wanted << (c.volume.root.endsWith('/') ? c.volume.root : c.volume.root + '/');
    }
    wanted.sort();
    const QList<platform::Drive> drives = platform::drivesOf(table);
    EXPECT_EQ(rootsOf(drives), wanted);
}

// "/" is where going up ends, so it is there even when the table leaves it out, first,
// and under its label when it has one; others show a label only when it is not their path.
TEST(DrivesOf, RootAlwaysFirstAndLabelsOnlyWhenTheyAreNames) {
    EXPECT_EQ(platform::drivesOf({}), (QList<platform::Drive>{{"/", ""}}));
    const QList<platform::Drive> drives = platform::drivesOf({
        {"/media/a/ZZ", "/media/a/ZZ", "ext4"},
        {"/", "system", "overlay"},
        {"/media/a/AA", "Games Disk", "exfat"},
    });
    EXPECT_EQ(drives, (QList<platform::Drive>{
                          {"/", "system"}, {"/media/a/AA/", "Games Disk"}, {"/media/a/ZZ/", ""}}));
}

}  // namespace
