#pragma once

// Files whose names are not valid UTF-8, made and read with their own bytes (QFile would
// spell such a name as another one).

#include "platform/FileNames.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace raw {

inline QByteArray bytes(const QString& path) {
    return platform::encodeName(path);
}

inline bool write(const QString& path, const QByteArray& content) {
    const int fd = ::open(bytes(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

inline QByteArray read(const QString& path) {
    QByteArray out;
    const int fd = ::open(bytes(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        out.append(buffer, n);
    ::close(fd);
    return out;
}

inline bool exists(const QString& path) {
    struct stat st;
    return ::lstat(bytes(path).constData(), &st) == 0;
}

// The names in `folder` as their own bytes ("." and ".." left out), in readdir's order.
inline QList<QByteArray> names(const QString& folder) {
    QList<QByteArray> out;
    DIR* dir = ::opendir(bytes(folder).constData());
    if (!dir) return out;
    while (const dirent* e = ::readdir(dir))
        if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0) out << e->d_name;
    ::closedir(dir);
    return out;
}

// Every entry under `folder` in byte order: a file as "name: content", a link as
// "name -> target", a folder as "name/" followed by what it holds. Read by bytes, so a
// name that is not UTF-8 is seen as it is, and a link as the link.
inline QStringList tree(const QString& folder, const QString& prefix = QString()) {
    QList<QByteArray> entries = names(folder);
    std::sort(entries.begin(), entries.end());
    QStringList out;
    for (const QByteArray& entry : entries) {
        const QString name = prefix + platform::decodeName(entry);
        const QString path = folder + u'/' + platform::decodeName(entry);
        char target[4096];
        const ssize_t n = ::readlink(bytes(path).constData(), target, sizeof target);
        struct stat st;
        if (n >= 0)
            out << name + QStringLiteral(" -> ") + platform::decodeName(QByteArray(target, n));
        else if (::lstat(bytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
            out << name + u'/' << tree(path, name + u'/');
        else
            out << name + QStringLiteral(": ") + QString::fromUtf8(read(path));
    }
    return out;
}

// The entry's owner, the link's own for a link; -1 when there is none.
inline uid_t owner(const QString& path) {
    struct stat st;
    return ::lstat(bytes(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

inline bool mkdir(const QString& path) {
    return ::mkdir(bytes(path).constData(), 0755) == 0;
}

inline bool link(const QString& target, const QString& path) {
    return ::symlink(bytes(target).constData(), bytes(path).constData()) == 0;
}

// What the stand-in emulator (tests/programs/record_argv) recorded when started as
// `program`: its working folder, then each argument.
inline QList<QByteArray> recorded(const QString& program) {
    QList<QByteArray> parts = read(program + QStringLiteral(".argv")).split('\0');
    if (!parts.isEmpty()) parts.removeLast();  // after the last NUL
    return parts;
}

// Removes a folder and all it holds by their bytes on destruction. QTemporaryDir cannot
// remove a name that is not valid UTF-8 and would leave the folder behind.
class RemoveTree {
public:
    explicit RemoveTree(QString folder) : m_folder(std::move(folder)) {}
    ~RemoveTree() {
        ::nftw(
            bytes(m_folder).constData(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
    RemoveTree(const RemoveTree&) = delete;
    RemoveTree& operator=(const RemoveTree&) = delete;

private:
    QString m_folder;
};

}  // namespace raw
