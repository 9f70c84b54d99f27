#pragma once

// The cache database that holds what can always be made again from the software lists,
// the DATs and the game files themselves: the checksum index and the file checksums. It
// lives apart from the library (plays and marks), in $XDG_CACHE_HOME, so the library stays
// small and a lost or damaged cache costs only the time to rebuild it.

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace identify {

class ChecksumDb {
public:
    struct Opened {
        bool ok = false;
        // A damaged file was removed and an empty one started.
        bool rebuilt = false;
        QString error;
    };

    ChecksumDb() = default;
    ~ChecksumDb();
    ChecksumDb(const ChecksumDb&) = delete;
    ChecksumDb& operator=(const ChecksumDb&) = delete;

    // $XDG_CACHE_HOME/Rombard/checksums.sqlite3; ~/.cache when the variable is unset or not
    // an absolute path.
    static QString defaultFile();

    // Opens (creating the file and its folder when needed). A file SQLite finds damaged is
    // removed and made anew, unless another connection still uses it; a file that cannot be
    // opened, or is not a regular file, is left alone and `error` says why.
    Opened open(const QString& file);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }

    // The file this connection writes is no longer the one at its path (removed by the
    // user, or replaced): what it writes would be lost.
    bool fileGone() const;

    // After a large write: the journal is copied into the file and cut back to nothing,
    // so it never stays as large as the index it carried.
    bool checkpoint();

private:
    bool openFile(const QString& file, QString* error, bool* damaged);
    void dropOrphanJournal();

    sqlite3* m_db = nullptr;
    QByteArray m_name;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};

}  // namespace identify
