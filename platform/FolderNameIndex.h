#pragma once

#include <QHash>
#include <QMutex>
#include <QString>

namespace platform {

// Answers "is there a file of this name here, whatever its letter case, and how is it
// really spelled" without a system call per question. One listing per folder, taken again
// when the folder's modification time changes (a create, delete or rename in it).
class FolderNameIndex {
public:
    // The real path of `path` with its last component matched without regard to case;
    // empty when the folder holds no such entry. The folder part must be spelled exactly.
    QString resolve(const QString& path);
    // The real name in `folder` for `name`, or empty.
    QString resolveName(const QString& folder, const QString& name);
    // Forget everything (after the program itself changed a folder within one
    // modification-time tick).
    void invalidate(const QString& folder = QString());

    // The process-wide index: the path helpers and the emulator scan share it, from the
    // window's thread and the duplicate search's alike.
    static FolderNameIndex& shared();

private:
    struct Entry {
        qint64 stamp = 0;               // the folder's modification time when listed (ns)
        qint64 listedAt = 0;            // when the listing was taken (ns)
        QHash<QString, QString> names;  // case-folded name -> real name
    };
    const Entry* entryFor(const QString& folder);  // with m_lock held

    QMutex m_lock;
    QHash<QString, Entry> m_folders;
};

}  // namespace platform
