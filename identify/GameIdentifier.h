#pragma once

// The rules that make a verdict of a game file, and the reading they need.
//
// A plain file: its CRC-32 and size are looked up; its SHA-1 is computed only when some
// matching entry has one. Each matching entry gives its own verdict: "crc only" when it has
// a SHA-1 the file's differs from, else "bad dump" when it is marked as a bad (or missing)
// dump, else "verified". The file takes the best of them, verified over bad dump over crc
// only: one list that knows the file as a good dump outweighs another that has a different
// dump under the same CRC. Every matching entry is kept, the deciding one first.
//
// A zip (known by its content): its members' sizes and CRC-32s come from its directory
// without unpacking; a member is unpacked (bounded) only to confirm a SHA-1. A zip of one
// member is identified by that member. A zip of several takes the answer of its best
// member, ties going to the larger member, so a game zipped with a readme or a sticker scan
// is still known by the game. Folder entries are not members. A zip that is damaged, or
// names a member outside itself, is unknown with the reason as its problem.

#include "identify/ChecksumCache.h"
#include "identify/Identification.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace identify {

class GameIdentifier {
public:
    // `cache` may be null: then every file is read every time.
    GameIdentifier(ChecksumLookup& lookup, ChecksumCache* cache);

    // As FolderIdentifier::identify, a slice of the paths at a time (kept in the cache
    // or not, a slice's files are what is held at once): first every path of the slice the
    // cache answers (a stat each, one query for them all), then the rest. Those are read and
    // summed on two threads a few files ahead while this one looks them up, confirms SHA-1s
    // and keeps the results, so answers come in the order files finish; each is handed on at
    // once. Once `each` says stop, nothing more is handed on or kept, and no reading thread
    // outlives the call.
    void identify(const QStringList& paths,
                  const std::function<bool(int index, const Identification&)>& each);
    // The same for the files `names` of `folder`: the folder's path is held once, not in
    // each of 100,000 paths.
    void identifyIn(const QString& folder, const QStringList& names,
                    const std::function<bool(int index, const Identification&)>& each);
    Identification identify(const QString& path);

    // The verdict of a file (or member) whose size and CRC-32 matched `entries`; `sha1` is
    // its SHA-1, or empty when none was computed (only allowed when no entry has one).
    static Identification decide(std::vector<RomEntry> entries, const QByteArray& sha1);

    // How many times a file was opened to read its contents: an unchanged file must never
    // add to it.
    int filesRead() const { return m_filesRead.load(); }

    // Asked between blocks of a long read (a 7z), on the reading threads: true stops it.
    void setStopCheck(std::function<bool()> stopped) { m_stopCheck = std::move(stopped); }

    // For the tests: called on the reading thread once a file's contents have been read,
    // before its stamp is taken again to see that it did not change meanwhile.
    void setAfterReading(std::function<void(const QByteArray& path)> hook) {
        m_afterReading = std::move(hook);
    }

    // For the tests: how many files a slice holds.
    void setSliceSize(qsizetype files) { m_sliceSize = files; }

private:
    // Both of the above: the files are `folder` + each of `names`, as bytes.
    void identifyFiles(const QByteArray& folder, const QStringList& names,
                       const std::function<bool(int index, const Identification&)>& each);
    // One slice of them, each handed on with its index in the slice plus `first`; false once
    // `each` said stop.
    bool identifySlice(const QByteArray& folder, const PackedNames& names, int first,
                       const std::function<bool(int index, const Identification&)>& each);
    // The answer from checksums alone; nothing when a SHA-1 has to be read first and
    // `mayRead` is false. A SHA-1 read on the way is added to `sums`.
    std::optional<Identification> answerFromSums(FileSums& sums, const FileStamp& stamp,
                                                 bool mayRead, const QByteArray& path);
    // The checksums of a file not kept, read through `block`; false with the reason when it
    // cannot be read, changed meanwhile, or `stop` was raised. Runs on a reading thread.
    bool readSums(const QByteArray& path, char* block, const std::atomic<bool>& stop,
                  CachedFile& file, QString& problem);
    Identification answerRead(const QByteArray& path, CachedFile& file);
    bool sha1OfFile(const QByteArray& path, const FileStamp& expected, QByteArray& sha1,
                    QString& problem);
    bool sha1OfMember(const QByteArray& path, const FileStamp& expected, MemberSums& member,
                      QString& problem);
    int openForReading(const QByteArray& path, FileStamp& stamp, QString& problem);
    // Opened only when it is still the file `expected` describes; -1 with the problem else.
    int openUnchanged(const QByteArray& path, const FileStamp& expected, QString& problem);
    char* buffer();

    ChecksumLookup& m_lookup;
    ChecksumCache* m_cache;
    qint64 m_generation = -1;
    std::atomic<int> m_filesRead = 0;  // the reading threads count too
    std::function<void(const QByteArray&)> m_afterReading;
    std::function<bool()> m_stopCheck;
    std::unique_ptr<char[]> m_buffer;  // one block, for the SHA-1s read on this thread
    // A folder of 100,000 games, all kept in the cache, took its names as bytes (2 MB), its
    // rows as read (6 MB), their order and places and the flags of the unchanged all at
    // once; a slice of this many holds a sixth of that, and its query reads only its own
    // stretch of the table.
    qsizetype m_sliceSize = 16384;
};

}  // namespace identify
