#include "platform/StorageVolumes.h"

#include <QStorageInfo>

namespace platform {

namespace {
QString withSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}
}  // namespace

QStringList StorageVolumes::roots() {
    QStringList out;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady()) continue;
        const QString root = withSlash(v.rootPath());
        if (!out.contains(root)) out.append(root);
    }
    out.sort();
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
