#pragma once

// The local database as a cache of the games folders' journals plus what is this
// computer's alone. Reading folds every journal of a folder into the database from where it
// was last read; publishing appends this installation's plays, marks and renames of the
// folder's games that no journal holds yet. Both may take long on a slow share: callers
// run them off the window's thread, on a connection of their own.
//
// Paths in the database are this computer's absolute ones; in a journal they are relative
// to the games folder, so one collection mounted at two places is one history.

#include "library/JournalFormat.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include <vector>

struct sqlite3_stmt;

namespace library {

class LibraryDb;

class JournalSync {
public:
    // A journal above this size is rewritten by its owner without its superseded records.
    static constexpr qint64 kCompactBytes = qint64(4) << 20;

    JournalSync(LibraryDb& db, QByteArray installation)
        : m_db(db), m_installation(std::move(installation)) {}
    ~JournalSync();
    JournalSync(const JournalSync&) = delete;
    JournalSync& operator=(const JournalSync&) = delete;

    struct Result {
        bool changed = false;     // the database changed: the list's columns are out of date
        bool unwritable = false;  // the folder's journal could not be written
        QString error;            // why not
        int damaged = 0;          // lines skipped for a wrong checksum or fields
        int newer = 0;            // records of a newer format, skipped and left as they are
    };

    // `folder` is absolute and ends in "/".
    Result readFolder(const QString& folder);
    // `runningSession` (a row id) is still being measured and waits for its end.
    Result publishFolder(const QString& folder, qint64 runningSession = -1);

    // Folds records of `folder`'s journals into the database in one transaction; false when
    // it could not be written.
    bool fold(const QString& folder, const std::vector<journal::Record>& records);

private:
    QByteArray resolve(QByteArray path, qint64 since);
    bool foldPlay(const QByteArray& folder, const journal::Play& play);
    bool foldMark(const QByteArray& path, const journal::Mark& mark);
    bool foldRename(const QByteArray& folder, const journal::Rename& rename);
    bool exec(const char* sql);
    sqlite3_stmt* prepared(const char* sql);

    LibraryDb& m_db;
    QByteArray m_installation;
    QSet<QString> m_compacted;
    // By the SQL text's address: each is a literal of this class.
    QHash<const char*, sqlite3_stmt*> m_statements;
};

}  // namespace library
