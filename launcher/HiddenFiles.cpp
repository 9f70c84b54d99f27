#include "launcher/HiddenFiles.h"

#include "filelist/FolderListing.h"
#include "launcher/Module1.h"
#include "launcher/WildcardMatch.h"
#include "platform/FileNames.h"

#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>

namespace {

QByteArray hiddenListPath(const QString& folder) {
    return platform::encodeName(AddBackslash(folder) + QStringLiteral(".hidden"));
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

bool endsWithoutLineBreak(const QByteArray& list) {
    const int fd = ::open(list.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char last = '\n';
    const off_t end = ::lseek(fd, 0, SEEK_END);
    const bool read = end > 0 && ::pread(fd, &last, 1, end - 1) == 1;
    ::close(fd);
    return read && last != '\n';
}

}  // namespace

QString HideMatchPattern(const QString& answer) {
    QString p = answer.toLower();
    p = ReplaceText(p, QStringLiteral("]"), QStringLiteral("^}^"), 1, -1);
    p = ReplaceText(p, QStringLiteral("["), QStringLiteral("[[]"), 1, -1);
    p = ReplaceText(p, QStringLiteral("^}^"), QStringLiteral("[]]"), 1, -1);
    p = ReplaceText(p, QStringLiteral("{"), QStringLiteral("["), 1, -1);
    p = ReplaceText(p, QStringLiteral("}"), QStringLiteral("]"), 1, -1);
    return p;
}

QStringList NamesMatchingHidePattern(const QStringList& names, const QString& pattern) {
    const QString folded = platform::foldName(pattern);
    QStringList out;
    QSet<QString> seen;
    for (const QString& name : names) {
        if (seen.contains(name)) continue;
        if (LikeMatch(platform::foldName(name), folded).value_or(false)) {
            seen.insert(name);
            out.append(name);
        }
    }
    return out;
}

bool AddToHiddenList(const QString& folder, const QStringList& names) {
    const QStringList listed = ReadHiddenList(folder);
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
    const QByteArray list = hiddenListPath(folder);
    if (endsWithoutLineBreak(list)) lines.prepend('\n');
    const int fd = ::open(list.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = writeAll(fd, lines);
    return ::close(fd) == 0 && ok;
}

bool ClearHiddenFiles(const QString& folder) {
    const QByteArray list = hiddenListPath(folder);
    struct stat st;
    if (::stat(list.constData(), &st) != 0) return true;
    QByteArray kept;
    const QString base = AddBackslash(folder);
    for (const QString& name : ReadHiddenList(folder)) {
        struct stat entry;
        if (::stat(platform::encodeName(base + name).constData(), &entry) == 0 &&
            S_ISDIR(entry.st_mode))
            kept += platform::encodeName(name) + '\n';
    }
    // Written beside and moved over the list, so a failure half way leaves the old list.
    const QByteArray temp = list + ".rombard-new";
    const int fd =
        ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
    if (fd < 0) return false;
    const bool written = writeAll(fd, kept);
    if (::close(fd) != 0 || !written || ::rename(temp.constData(), list.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}
