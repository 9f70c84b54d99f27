#include "platform/FolderNameIndex.h"

#include "platform/FileNames.h"
#include "platform/FolderSnapshot.h"

namespace platform {

namespace {
constexpr qint64 kSettleNs = 2'000'000'000;

QString folderOf(const QString& path, QString* name) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        *name = path;
        return QStringLiteral(".");
    }
    *name = path.mid(slash + 1);
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}
}  // namespace

FolderNameIndex& FolderNameIndex::shared() {
    // Never destroyed: a thread left behind on a share that stopped answering may still ask
    // it while the process exits.
    static auto* index = new FolderNameIndex;
    return *index;
}

const FolderNameIndex::Entry* FolderNameIndex::entryFor(const QString& folder) {
    const std::optional<qint64> stamp = folderStamp(folder);
    if (!stamp) {
        m_folders.remove(folder);
        return nullptr;
    }
    auto it = m_folders.find(folder);
    // A change within the same clock tick as the listing would leave the modification
    // time as it was, so a listing is trusted only once it is clearly newer than that time.
    if (it != m_folders.end() && it->stamp == *stamp && it->listedAt - *stamp > kSettleNs)
        return &*it;

    Entry e;
    e.stamp = *stamp;
    e.listedAt = stampNow();
    // Names that are not valid UTF-8 still round-trip through decodeName/encodeName.
    if (const std::optional<QStringList> names = folderEntries(folder))
        for (const QString& real : *names)
            e.names.insert(foldName(real), real);
    it = m_folders.insert(folder, std::move(e));
    return &*it;
}

QString FolderNameIndex::resolveName(const QString& folder, const QString& name) {
    if (name.isEmpty()) return {};
    const QMutexLocker lock(&m_lock);
    const Entry* e = entryFor(folder);
    if (!e) return {};
    const auto it = e->names.constFind(foldName(name));
    if (it != e->names.constEnd()) return *it;
    return {};
}

QString FolderNameIndex::resolve(const QString& path) {
    QString name;
    const QString folder = folderOf(path, &name);
    const QString real = resolveName(folder, name);
    if (real.isEmpty()) return {};
    if (folder == QLatin1String(".") && !path.startsWith(QLatin1String("./"))) return real;
    return folder.endsWith(QLatin1Char('/')) ? folder + real : folder + QLatin1Char('/') + real;
}

void FolderNameIndex::invalidate(const QString& folder) {
    const QMutexLocker lock(&m_lock);
    if (folder.isEmpty())
        m_folders.clear();
    else
        m_folders.remove(folder);
}

}  // namespace platform
