#pragma once

// A 7z archive's members, known by their CRC-32s and SHA-1s. A 7z keeps no checksums that
// can be read without unpacking (a solid archive packs its members as one stream), so
// reading one means unpacking all of it: this runs only on the identification's reading
// threads, once per version of the file (the file-checksum cache keeps the answer), and
// stops between two blocks when asked. libarchive does the unpacking.
//
// Archives come from anywhere: members, bytes unpacked and the ratio of unpacked to packed
// bytes are bounded, and an archive that names a member outside itself is refused, as a
// zip is.

#include "identify/ChecksumCache.h"

#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace identify {

// Whether a file's first bytes are a 7z's signature.
bool looksLike7z(QByteArrayView head);

struct SevenZipLimits {
    qint64 maxMembers = 65536;
    // Unpacked bytes of all members together, whatever the ratio.
    qint64 maxUnpacked = qint64(64) << 30;
    // Unpacked bytes per packed byte, past a first allowance every archive has: cartridge
    // sets pack a few times over, disc images with empty sectors some hundreds.
    qint64 maxRatio = 2000;
    qint64 ratioAllowance = qint64(64) << 20;
};

struct SevenZipContents {
    std::vector<MemberSums> members;  // every member that is a file, with its SHA-1
    QString error;                    // why it was refused or could not be read
    bool stopped = false;             // `stop` was raised (error says so too)
    bool ok() const { return error.isEmpty(); }
};

// Reads the archive through `fd` (left open, read from its start), `size` bytes long.
// `stopped` is asked between blocks (it may be empty).
SevenZipContents read7z(int fd, qint64 size, const std::function<bool()>& stopped,
                        const SevenZipLimits& limits = {});
// The same for an archive in memory.
SevenZipContents read7zMemory(QByteArrayView bytes, const std::function<bool()>& stopped,
                              const SevenZipLimits& limits = {});

}  // namespace identify
