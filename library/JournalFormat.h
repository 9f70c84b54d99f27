#pragma once

// The lines of a games folder's history journal (<folder>/.rombard/<installation>.journal).
// Each installation appends to its own file only; every installation reads them all.
//
// The first line names the file as a journal and its writer. Each record after it is one
// line of tab-separated fields: the record's format version, its kind, its fields, and the
// CRC-32 (8 hex digits) of everything before that last tab. The version and the trailing
// checksum keep their places in every later version, so an older reader can tell a newer
// record from a damaged one and skip it without guessing at its fields. Paths are relative
// to the games folder and kept as bytes; every byte outside printable ASCII, and '%',
// is written as %XX, so a name holding a tab or a newline cannot split a record.

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace library::journal {

constexpr int kFormatVersion = 1;
// The hidden folder inside a games folder that holds the journals.
inline constexpr char kFolderName[] = ".rombard";
inline constexpr char kHeaderMagic[] = "rombard-journal";

// A play session; recorded again with the same id if its length grows (the longest wins).
struct Play {
    QByteArray id;
    QByteArray path;
    qint64 started = 0;  // UTC, seconds since the epoch
    qint64 seconds = 0;
    QString emulator;
    bool operator==(const Play&) const = default;
};

// A favourite set or cleared. The latest change by (changed, installation) wins, so every
// machine reaches the same answer whatever order it reads the journals in.
struct Mark {
    QByteArray path;
    bool on = false;
    qint64 changed = 0;
    QByteArray installation;
    bool operator==(const Mark&) const = default;
};

// A game renamed at `at`: what was recorded for `from` before then belongs to `to`.
struct Rename {
    QByteArray id;
    QByteArray from;
    QByteArray to;
    qint64 at = 0;
    bool operator==(const Rename&) const = default;
};

using Record = std::variant<Play, Mark, Rename>;

QByteArray escapeBytes(const QByteArray& bytes);
// Nothing when the text holds a '%' not followed by two hex digits, or a byte that is
// never written unescaped.
std::optional<QByteArray> unescapeBytes(const QByteArray& text);

QByteArray headerLine(const QByteArray& installation);
// A line of tab-separated `fields` (the version first) with its checksum and newline.
QByteArray sealedLine(const QByteArray& fields);
// One record, with its version, checksum and final newline.
QByteArray recordLine(const Record& record);

struct Parsed {
    std::vector<Record> records;
    // How far the complete lines reach: a last line without its newline (a write cut short,
    // a copy in progress) is left for a later read.
    qint64 consumed = 0;
    int damaged = 0;  // lines whose checksum or fields are wrong
    int newer = 0;    // records of a format this build does not know
    // False when the bytes read from a file's start do not begin with a journal's header.
    bool isJournal = true;
    QByteArray installation;  // from the header, when it was read
};

// The complete lines of `bytes`. `fromStart` says the bytes begin at the file's first byte,
// so the header is checked rather than read as a record.
Parsed parseLines(const QByteArray& bytes, bool fromStart);

}  // namespace library::journal
