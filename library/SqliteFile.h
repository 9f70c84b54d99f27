#pragma once

// What the launcher's SQLite files (the library, the checksum cache) need beyond SQLite:
// telling a damaged file from one that merely cannot be opened, saying why, and moving or
// removing a damaged file only when no connection anywhere still uses it.
//
// None of this ever open()s the database or its -wal and -shm: closing any descriptor of
// a file drops every POSIX lock this process holds on it, SQLite's connections' included,
// and another program closing its connection then takes itself for the last one and
// deletes the -wal the connections here still write to.

#include <QByteArray>
#include <QString>

#include <functional>

struct sqlite3;

namespace library {

// Only what SQLite itself reports as damaged content; a file that cannot be opened, is
// locked or is read-only is not damaged.
bool isDamagedCode(int rc);

// Empty when `name` is a regular file or does not exist yet; otherwise why it cannot be a
// database (a folder, a FIFO, a device), found with stat() alone.
QString refuseUnusableFile(const QByteArray& name);

// Why a connection to `name` failed with `rc`: SQLite's message, and the first of the
// database, its -wal and -shm and its folder that this user may not read or write.
QString explainFailure(const QByteArray& name, int rc, sqlite3* db);

// Runs `act` while `db` (an open connection to the file) holds the file's exclusive lock,
// which no other connection's shared lock allows, in this process or in another: a file
// still in use is never pulled away. False, without running `act`, when the file is in use;
// else what `act` returns. Closing the connection then leaves the files alone
// (leaveFilesOnClose): after a move or a removal, their names are another file's.
bool whileNoOtherConnection(sqlite3* db, const std::function<bool()>& act);

// Closing `db` will neither checkpoint nor remove the -wal and -shm by their names: for a
// file that was moved or deleted, those names may belong to another database by now.
void leaveFilesOnClose(sqlite3* db, bool leave = true);

// Renames the file and its -wal and -shm to "<name>.broken-<date>" (numbered when that is
// taken), never replacing anything; the new name, or empty when the file could not move.
QByteArray moveAside(const QByteArray& name);

// Removes the file and its -wal and -shm; false when the file itself stayed.
bool removeWithCompanions(const QByteArray& name);

// The journal may not grow past this once checkpointed: a WAL is otherwise kept at the
// largest size it ever reached.
constexpr long long kJournalSizeLimit = 4 * 1024 * 1024;

}  // namespace library
