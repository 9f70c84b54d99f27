#pragma once

// What the command-line tools share: the folder argument and printing a file's bytes.

#include "filelist/FolderList.h"
#include "filelist/ListModel.h"
#include "platform/FileNames.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace tools {

inline void print(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
}

// The folder's full path without links, ending in "/", by its own bytes; nothing when it
// is not a folder this user can list. Resolving it once means the lines name the very
// files that were read, whatever the current folder or links along the way.
inline std::optional<QString> readableFolder(const QString& folder) {
    struct FreeDeleter {
        void operator()(char* p) const { std::free(p); }
    };
    const std::unique_ptr<char, FreeDeleter> real(
        ::realpath(platform::encodeName(folder).constData(), nullptr));
    if (!real) return std::nullopt;
    DIR* dir = ::opendir(real.get());
    if (!dir) return std::nullopt;
    ::closedir(dir);
    QString path = platform::decodeName(QByteArray(real.get()));
    if (!path.endsWith(u'/')) path += u'/';
    return path;
}

// The games of `folder` (as readableFolder gives it) as the file list lists them: MASK as
// in the list's pattern, "*.*" when empty; hidden files left out.
inline QStringList listedGames(const QString& folder, const QString& mask) {
    ListModel model;
    FolderList list(model);
    list.initPattern(mask.isEmpty() ? QStringLiteral("*.*") : mask);
    list.setPath(folder);
    QStringList names;
    names.reserve(model.count());
    for (int i = 0; i < model.count(); ++i)
        names.append(model.itemText(i));
    return names;
}

}  // namespace tools
