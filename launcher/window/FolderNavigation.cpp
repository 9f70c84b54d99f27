#include "launcher/window/FolderNavigation.h"

#include "filelist/FolderListing.h"
#include "platform/FileNames.h"

#include <QDir>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {
constexpr QChar kSlash = QLatin1Char('/');
}  // namespace

QString folderPathOf(const QString& path) {
    if (path.isEmpty()) return {};
    QString clean = QDir::cleanPath(path);
    if (clean.size() > 1 && clean.endsWith(kSlash)) clean.chop(1);
    return clean;
}

QString upOneLevel(const QString& path) {
    const qsizetype i = path.lastIndexOf(kSlash);
    return i < 0 ? path : path.left(i + 1);
}

QStringList ancestorsOf(const QString& folder) {
    const QString path = folderPathOf(folder);
    if (!path.startsWith(kSlash)) return path.isEmpty() ? QStringList() : QStringList{path};
    QStringList out{QStringLiteral("/")};
    for (qsizetype i = path.indexOf(kSlash, 1); i > 0; i = path.indexOf(kSlash, i + 1))
        out.append(path.left(i));
    if (path.size() > 1) out.append(path);
    return out;
}

bool canEnterFolder(const QString& path) {
    if (path.isEmpty()) return false;
    const QByteArray encoded = platform::encodeName(path);
    struct stat st {};
    return ::stat(encoded.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(encoded.constData(), X_OK) == 0;
}

bool canListFolder(const QString& path) {
    return canEnterFolder(path) && ::access(platform::encodeName(path).constData(), R_OK) == 0;
}

QStringList subFolderNames(const QString& folder) {
    struct DirCloser {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    std::unique_ptr<DIR, DirCloser> dir(::opendir(platform::encodeName(folder).constData()));
    if (!dir) return {};
    const QStringList listedHidden = readHiddenList(folder);
    const QSet<QString> hidden(listedHidden.begin(), listedHidden.end());
    const int fd = ::dirfd(dir.get());

    struct Entry {
        QString key;  // folded, for the order
        QString name;
    };
    std::vector<Entry> found;
    while (const dirent* e = ::readdir(dir.get())) {
        const char* raw = e->d_name;
        if (raw[0] == '.') continue;  // ".", ".." and hidden folders alike
        bool isDir = e->d_type == DT_DIR;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            // Follows the link; one that leads nowhere or round in a circle fails here.
            struct stat st {};
            isDir = ::fstatat(fd, raw, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (!isDir) continue;
        QString name = platform::decodeName(QByteArray(raw));
        if (hidden.contains(name)) continue;
        found.push_back({platform::foldName(name), std::move(name)});
    }
    std::sort(found.begin(), found.end(), [](const Entry& a, const Entry& b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    QStringList out;
    out.reserve(qsizetype(found.size()));
    for (Entry& e : found)
        out.append(std::move(e.name));
    return out;
}

FolderRows ancestorRowsOf(const QString& folder) {
    FolderRows out;
    const QStringList ancestors = ancestorsOf(folder);
    for (int depth = 0; depth < ancestors.size(); ++depth) {
        const QString& path = ancestors.at(depth);
        const QString name =
            path == QLatin1String("/") ? path : path.mid(path.lastIndexOf(kSlash) + 1);
        out.rows.append({path, name, depth, true});
    }
    out.current = int(out.rows.size()) - 1;
    return out;
}

FolderRows rowsOf(const QString& folder) {
    FolderRows out = ancestorRowsOf(folder);
    if (out.rows.isEmpty()) return out;
    const QString self = out.rows.last().path;
    const int depth = int(out.rows.size());
    const QString prefix = self.endsWith(kSlash) ? self : self + kSlash;
    const QStringList subs = subFolderNames(self);
    out.rows.reserve(out.rows.size() + subs.size());
    for (const QString& name : subs)
        out.rows.append({prefix + name, name, depth, false});
    return out;
}

namespace {
ListsLayout withTitles(ListsLayout l) {
    l.titleTop = l.imgShot.top + 60;
    l.shadowTop = l.titleTop + 60;
    return l;
}
}  // namespace

ListsLayout layOutBrowsing(const TwipRect& frmShot, const TwipRect& imgShot, bool hasScreenshot) {
    ListsLayout l;
    const int height = static_cast<int>(std::lround(frmShot.height * (hasScreenshot ? 0.3 : 0.6)));
    l.files = {frmShot.left + 60, 0, frmShot.width, height};
    l.imgShot = {imgShot.left, height, imgShot.width, frmShot.height - height};
    return withTitles(l);
}

ListsLayout layOutListing(const TwipRect& frmShot, const TwipRect& imgShot, int dirListWidth) {
    ListsLayout l;
    l.files = {0, 0, dirListWidth, frmShot.height};
    l.imgShot = {imgShot.left, 0, imgShot.width, frmShot.height};
    return withTitles(l);
}
