#pragma once

// A small file system of its own (a tmpfs mounted in a temporary folder), for the trash of
// another file system and a full disk. Only root may mount; elsewhere such tests skip.

#include "support/RawFiles.h"

#include <QTemporaryDir>

#include <sys/mount.h>

class SmallFileSystem {
public:
    // `options` as mount(8) takes them for a tmpfs, e.g. "size=64k,mode=1777".
    explicit SmallFileSystem(const char* options = "size=64k") {
        if (::mount("tmpfs", raw::bytes(m_dir.path()).constData(), "tmpfs", 0, options) == 0)
            m_mounted = true;
    }
    ~SmallFileSystem() {
        if (m_mounted) ::umount2(raw::bytes(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;
    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
