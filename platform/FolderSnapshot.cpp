#include "platform/FolderSnapshot.h"

#include "platform/FileNames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <ctime>

namespace platform {

std::optional<qint64> folderStamp(const QString& folder) {
    struct stat st;
    if (::stat(encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

qint64 stampNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

namespace {
template <typename Each>
bool eachEntry(const QString& folder, Each each) {
    DIR* d = ::opendir(encodeName(folder).constData());
    if (!d) return false;
    while (const dirent* de = ::readdir(d)) {
        const char* n = de->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        each(decodeName(QByteArray(n)), de->d_type);
    }
    ::closedir(d);
    return true;
}
}  // namespace

std::optional<QStringList> folderEntries(const QString& folder) {
    QStringList names;
    if (!eachEntry(folder, [&](QString name, unsigned char) { names.append(std::move(name)); }))
        return std::nullopt;
    return names;
}

std::optional<std::vector<FolderEntry>> folderEntryKinds(
    const QString& folder, const std::function<QString(QString)>& same) {
    std::vector<FolderEntry> entries;
    const bool read = eachEntry(folder, [&](QString name, unsigned char type) {
        EntryKind kind = EntryKind::Other;
        if (type == DT_REG)
            kind = EntryKind::File;
        else if (type == DT_LNK)
            kind = EntryKind::Link;
        else if (type == DT_UNKNOWN)
            kind = EntryKind::Unknown;
        entries.push_back({same ? same(std::move(name)) : std::move(name), kind});
    });
    if (!read) return std::nullopt;
    return entries;
}

}  // namespace platform
