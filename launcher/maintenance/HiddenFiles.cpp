#include "launcher/maintenance/HiddenFiles.h"

#include "filelist/FolderListing.h"
#include "launcher/PathHelpers.h"
#include "launcher/maintenance/WildcardMatch.h"
#include "platform/FileNames.h"

#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace {

QByteArray hiddenListPath(const QString& folder) {
    return platform::encodeName(withTrailingSeparator(folder) + QStringLiteral(".hidden"));
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// The list opened for adding to, only when it is a regular file of its own: never through a
// link (that would write into whatever file it names), never a FIFO (which would wait for a
// reader for good). Created when missing. -1 when it cannot be changed.
int openListForAppending(const QByteArray& list) {
    return platform::openRegularBytes(list, O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW, 0644);
}

bool endsWithoutLineBreak(int fd) {
    char last = '\n';
    const off_t end = ::lseek(fd, 0, SEEK_END);
    return end > 0 && ::pread(fd, &last, 1, end - 1) == 1 && last != '\n';
}

}  // namespace

QString hideMatchPattern(const QString& answer) {
    QString p = answer.toLower();
    p = replaceText(p, QStringLiteral("]"), QStringLiteral("^}^"), 1, -1);
    p = replaceText(p, QStringLiteral("["), QStringLiteral("[[]"), 1, -1);
    p = replaceText(p, QStringLiteral("^}^"), QStringLiteral("[]]"), 1, -1);
    p = replaceText(p, QStringLiteral("{"), QStringLiteral("["), 1, -1);
    p = replaceText(p, QStringLiteral("}"), QStringLiteral("]"), 1, -1);
    return p;
}

QStringList namesMatchingHidePattern(const QStringList& names, const QString& pattern) {
    const QString folded = platform::foldName(pattern);
    QStringList out;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (seen.contains(name)) continue;
        if (likeMatch(platform::foldName(name), folded).value_or(false)) {
            seen.insert(name);
            out.append(name);
        }
    }
    return out;
}

bool addToHiddenList(const QString& folder, const QStringList& names) {
    const QStringList listed = readHiddenList(folder);
    QSet<QString> already(listed.begin(), listed.end());
    QByteArray lines;
    for (const QString& name : names) {
        // The list is line based: a name holding a line break, or ending in the carriage
        // return its reader strips, cannot be written so that it reads back the same.
        if (name.isEmpty() || name.contains(QLatin1Char('\n')) || name.endsWith(QLatin1Char('\r')))
            continue;
        if (already.contains(name)) continue;
        already.insert(name);
        lines += platform::encodeName(name) + '\n';
    }
    if (lines.isEmpty()) return true;
    const int fd = openListForAppending(hiddenListPath(folder));
    if (fd < 0) return false;
    if (endsWithoutLineBreak(fd)) lines.prepend('\n');
    const bool ok = writeAll(fd, lines);
    return ::close(fd) == 0 && ok;
}

bool clearHiddenFiles(const QString& folder) {
    const QByteArray list = hiddenListPath(folder);
    struct stat st;
    if (::lstat(list.constData(), &st) != 0) return errno == ENOENT;
    // Moving a new list over a link would replace the link, and its target would keep the
    // names: a list that is not a plain file of its own is left as it is.
    if (!S_ISREG(st.st_mode)) return false;
    QByteArray kept;
    const QString base = withTrailingSeparator(folder);
    for (const QString& name : readHiddenList(folder)) {
        struct stat entry;
        if (::stat(platform::encodeName(base + name).constData(), &entry) == 0 &&
            S_ISDIR(entry.st_mode))
            kept += platform::encodeName(name) + '\n';
    }
    // Written beside and moved over the list, so a failure half way leaves the old list.
    // A leftover of an interrupted clear is removed, never written through.
    const QByteArray temp = list + ".rombard-new";
    ::unlink(temp.constData());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          st.st_mode & 0777);
    if (fd < 0) return false;
    const bool written = writeAll(fd, kept);
    if (::close(fd) != 0 || !written || ::rename(temp.constData(), list.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}
