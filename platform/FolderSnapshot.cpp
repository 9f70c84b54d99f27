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

std::optional<QStringList> folderEntries(const QString& folder) {
    DIR* d = ::opendir(encodeName(folder).constData());
    if (!d) return std::nullopt;
    QStringList names;
    while (const dirent* de = ::readdir(d)) {
        const char* n = de->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        names.append(decodeName(QByteArray(n)));
    }
    ::closedir(d);
    return names;
}

}  // namespace platform
