#pragma once

// What a game file is, by its checksum: the entries of the software lists and DAT files
// that match it by size and CRC-32, and how far the match goes.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace identify {

enum class DumpStatus { Good, BadDump, NoDump };

// A <disk> of a list (a CHD image) has no size or CRC-32 of its own, only a SHA-1. It is
// kept beside the ROMs under this size, which no file has, with the SHA-1's first four
// bytes as its CRC, so the one (size, CRC) lookup serves both.
constexpr qint64 kDiskSize = -1;
inline quint32 diskKeyOf(const QByteArray& sha1) {
    quint32 key = 0;
    for (int i = 0; i < 4 && i < sha1.size(); ++i)
        key = key << 8 | static_cast<unsigned char>(sha1[i]);
    return key;
}

// One <rom> of a software list or a DAT file, with what its software entry says.
struct RomEntry {
    qint64 id = 0;        // the index's row; stable until its source is read again
    QString source;       // the list's name ("a2600") or the DAT's <header><name>
    QString software;     // <software name>, <game name> or <machine name>
    QString description;  // may be empty
    QString year;
    QString publisher;  // a software list's <publisher>, a DAT's <manufacturer>
    QString romName;    // the ROM's own file name in the entry ("pitfall.bin")
    qint64 size = 0;
    quint32 crc = 0;
    QByteArray sha1;  // 20 raw bytes; empty when the source gives none
    DumpStatus status = DumpStatus::Good;
};

enum class Verdict {
    Unknown,   // nothing matches by size and CRC
    Verified,  // size and CRC match, and the SHA-1 where the entry has one
    CrcOnly,   // size and CRC match but the SHA-1 differs: another dump, or a collision
    BadDump,   // the matching entry is marked as a bad dump
    // A CHD image whose header carries the SHA-1 of a list's <disk>: the header is trusted,
    // the image is not unpacked to check it.
    VerifiedHeader,
};

// "verified", "verified (header)", "crc only", "bad dump", "unknown": the words the tool
// prints.
QString verdictText(Verdict verdict);

struct Identification {
    Verdict verdict = Verdict::Unknown;
    // Every entry that matches by size and CRC; the one that decided the verdict comes first.
    std::vector<RomEntry> matches;
    QString member;   // for a zip, the member that was identified; empty otherwise
    QString problem;  // why the file could not be read (the verdict is then Unknown)
};

// Where the checksum sources are: folders (each *.xml and *.dat directly inside) and
// single files. A source's format comes from its content, not its name.
struct Sources {
    QStringList paths;

    // The software lists of $XDG_DATA_DIRS/games/mame/hash, the user's DATs in
    // $XDG_DATA_HOME/Rombard/dats and the emulator folder's own dats/ folder.
    static Sources standard(const QString& emulatorFolder);
};

// Entries by size and CRC: the index in the checksum cache database, or a fake in tests.
class ChecksumLookup {
public:
    virtual ~ChecksumLookup() = default;
    virtual std::vector<RomEntry> entries(qint64 size, quint32 crc) = 0;
    // The <disk> entries with this SHA-1.
    std::vector<RomEntry> disks(const QByteArray& sha1);
    // Changes whenever any entry changes, so an answer kept from before holds while it stays.
    virtual qint64 generation() = 0;
};

// What the window and the command-line tool use. One per thread: it holds its own
// connection to the checksum cache database.
class FolderIdentifier {
public:
    virtual ~FolderIdentifier() = default;

    // Reads again every source whose size or modification time changed since it was last
    // read and drops the entries of sources gone. `progress(done, total)` after each
    // source; returning false stops between two sources. One message per source skipped,
    // naming the file and why.
    virtual QStringList refreshSources(
        const std::function<bool(int done, int total)>& progress) = 0;

    // Whether the sources read so far gave anything to match a file against. With nothing,
    // a look at a folder would read every file only to call each unknown.
    virtual bool hasEntries() { return true; }

    // Identifies each path, handing every answer to `each` with the path's index as soon
    // as it is known: files answered from the cache may come before files that have to be
    // read. `each` returning false stops.
    virtual void identify(const QStringList& paths,
                          const std::function<bool(int index, const Identification&)>& each) = 0;
    // The same for the files `names` of `folder` (ending in "/"), each handed on by its index
    // in `names`: a folder of 100,000 games is not made into as many paths.
    virtual void identifyIn(const QString& folder, const QStringList& names,
                            const std::function<bool(int index, const Identification&)>& each) {
        QStringList paths;
        paths.reserve(names.size());
        for (const QString& name : names)
            paths.append(folder + name);
        identify(paths, each);
    }

    // Asked, from the reading threads too, during a long read (a 7z is unpacked whole):
    // true stops it, so a look at a folder the user has left does not run on to its end.
    virtual void setStopCheck(std::function<bool()> /*stopped*/) {}
};

}  // namespace identify
