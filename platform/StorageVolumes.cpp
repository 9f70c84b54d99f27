#include "platform/StorageVolumes.h"

#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <algorithm>

namespace platform {

namespace {
QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

bool under(const QString& root, QLatin1StringView prefix) {
    return root.startsWith(prefix);
}

// Mount points that belong to the system rather than to the user. Removable media sit
// under /media, /run/media or /mnt; /run itself holds only runtime state.
bool systemPlace(const QString& root) {
    static const QLatin1StringView kSystem[] = {
        QLatin1StringView("/proc/"),
        QLatin1StringView("/sys/"),
        QLatin1StringView("/dev/"),
        QLatin1StringView("/snap/"),
        QLatin1StringView("/var/lib/snapd/"),
        QLatin1StringView("/var/snap/"),
        QLatin1StringView("/boot/"),
        QLatin1StringView("/efi/"),
        QLatin1StringView("/var/lib/docker/"),
        QLatin1StringView("/var/lib/containers/"),
    };
    for (const QLatin1StringView p : kSystem)
        if (under(root, p)) return true;
    return under(root, QLatin1StringView("/run/")) &&
           !under(root, QLatin1StringView("/run/media/"));
}

// File systems that hold no files of the user's: kernel interfaces, memory-backed
// scratch space and the read-only images packaged applications are mounted from.
bool pseudoFileSystem(const QString& type) {
    static const QSet<QString> kPseudo = {
        "autofs",
        "binfmt_misc",
        "bpf",
        "cgroup",
        "cgroup2",
        "configfs",
        "debugfs",
        "devpts",
        "devtmpfs",
        "efivarfs",
        "fusectl",
        "hugetlbfs",
        "mqueue",
        "nsfs",
        "proc",
        "pstore",
        "ramfs",
        "rpc_pipefs",
        "securityfs",
        "selinuxfs",
        "squashfs",
        "sysfs",
        "tmpfs",
        "tracefs",
        "overlay",
        "fuse.portal",
        "fuse.lxcfs",
        "fuse.snapfuse",
        "fuse.gvfsd-fuse",
        "fuse.appimagekit",
        "nfsd",
    };
    return kPseudo.contains(type.toLower());
}
}  // namespace

QList<Drive> drivesOf(const QList<MountedVolume>& mounted) {
    QList<Drive> out{{QStringLiteral("/"), QString()}};
    QSet<QString> seen{QStringLiteral("/")};
    for (const MountedVolume& v : mounted) {
        const QString root = withSlash(v.root);
        if (root == QLatin1String("/")) {
            // "/" is always there; only its label is taken.
            if (v.name != v.root && v.name != root) out.first().name = v.name;
            continue;
        }
        if (!root.startsWith(QLatin1Char('/')) || !v.ready || !v.folder) continue;
        if (systemPlace(root) || pseudoFileSystem(v.fileSystem) || seen.contains(root)) continue;
        seen.insert(root);
        const bool named = !v.name.isEmpty() && v.name != v.root && v.name != root;
        out.append({root, named ? v.name : QString()});
    }
    std::sort(out.begin() + 1, out.end(),
              [](const Drive& a, const Drive& b) { return a.root < b.root; });
    return out;
}

QList<Drive> StorageVolumes::drives() {
    QList<MountedVolume> mounted;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid()) continue;
        MountedVolume m;
        m.root = v.rootPath();
        m.name = v.displayName();
        m.fileSystem = QString::fromLatin1(v.fileSystemType());
        m.ready = v.isReady();
        m.folder = QFileInfo(m.root).isDir();
        mounted.append(m);
    }
    return drivesOf(mounted);
}

QStringList StorageVolumes::roots() {
    QStringList out;
    for (const Drive& d : drives())
        out.append(d.root);
    return out;
}

QString StorageVolumes::rootOf(const QString& path) {
    const QString wanted = withSlash(path);
    QString best;
    for (const QString& root : roots())
        if (wanted.startsWith(root) && root.size() > best.size()) best = root;
    return best.isEmpty() ? QStringLiteral("/") : best;
}

}  // namespace platform
