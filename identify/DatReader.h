#pragma once

// Software lists (<softwarelist>) and Logiqx DAT files (<datafile>), read as a stream: each
// usable <rom> and <disk> (as a ROM of size kDiskSize) is handed over as it is read, nothing of the
// document is kept but the entry being read. The format comes from the root element, never from the
// file's name.
//
// The documents come from anywhere, so what one may cost is bounded: entities are never
// declared, expanded or fetched (a document declaring one is refused), no DTD or other file
// is ever loaded, a single tag, text, comment or declaration may not run over kMaxTokenBytes,
// and one entry may not hold more than kMaxRomsPerEntry ROMs.

#include "identify/Identification.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

namespace identify {

enum class DatFormat { Unknown, SoftwareList, Logiqx };

struct DatSummary {
    // False when the document was refused; the ROMs already handed over must then be dropped.
    bool ok = false;
    QString problem;  // why it was refused, with the line; empty when ok
    DatFormat format = DatFormat::Unknown;
    QString name;       // the list's name, or the DAT header's <name>
    qint64 roms = 0;    // handed over
    qint64 noDump = 0;  // marked "nodump": there is nothing to match
    // A size, CRC-32 or SHA-1 missing or unreadable, or a name missing or too long.
    qint64 malformed = 0;
    bool stopped = false;  // `each` asked to stop (ok stays false)
};

// A ROM as read, before any string is made of it: its texts are the document's UTF-8
// (trimmed, cut as a RomEntry's are) and live only during the call. The index stores them
// as they come; converting each to UTF-16 and back cost as much as parsing them.
struct RomView {
    qint64 id = 0;                    // the entry's number in the document, from 1
    const QString* source = nullptr;  // the list's or DAT's name, as RomEntry::source
    QByteArrayView software, description, year, publisher, romName;
    qint64 size = 0;
    quint32 crc = 0;
    QByteArrayView sha1;  // 20 raw bytes; empty when the entry gives none
    DumpStatus status = DumpStatus::Good;
};

class DatReader {
public:
    // Bytes of input that may pass between two tags: a longer attribute, text, comment,
    // name or declaration ends the reading with a problem.
    static constexpr qint64 kMaxTokenBytes = qint64(4) << 20;
    static constexpr int kMaxRomsPerEntry = 10000;
    // Longer names and texts are cut (a ROM name is refused): real ones stay under 500.
    static constexpr int kMaxFieldBytes = 2048;

    // libxml2 wants to be set up on the main thread before it reads on others; read()
    // calls it too.
    static void initialise();

    // Reads `device` to its end or the first fault. `fallbackName` names the source when
    // the document names none. `each` sees the ROMs of an entry when the entry ends, in
    // document order, with `id` set to the entry's number in the document (from 1), so
    // entries that look alike stay apart; returning false stops.
    static DatSummary read(QIODevice& device, const QString& fallbackName,
                           const std::function<bool(const RomEntry&)>& each);
    // The same reading, handing over views instead of entries.
    static DatSummary readViews(QIODevice& device, const QString& fallbackName,
                                const std::function<bool(const RomView&)>& each);
};

// "0x20000" or "131072"; nothing for anything else, a negative or an overflowing value.
std::optional<qint64> parseRomSize(QByteArrayView text);
// Eight hexadecimal digits, either case.
std::optional<quint32> parseCrc(QByteArrayView text);
// Forty hexadecimal digits, either case, as 20 raw bytes.
std::optional<QByteArray> parseSha1(QByteArrayView text);

}  // namespace identify
