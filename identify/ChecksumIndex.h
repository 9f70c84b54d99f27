#pragma once

// The checksum index: every <rom> of the software lists and DAT files, kept in the checksum
// cache database (ChecksumDb) and looked up by (size, CRC-32). Its tables are a cache
// of the sources: made on first use, and made again from the sources when their layout
// changes.

#include "identify/Identification.h"

#include <QStringList>

#include <functional>
#include <vector>

struct sqlite3;

namespace identify {

class ChecksumIndex : public ChecksumLookup {
public:
    // The connection stays owned by the caller (ChecksumDb::handle()) and must outlive this.
    explicit ChecksumIndex(sqlite3* db);
    ~ChecksumIndex() override;
    ChecksumIndex(const ChecksumIndex&) = delete;
    ChecksumIndex& operator=(const ChecksumIndex&) = delete;

    // False when the tables could not be made (the database is read-only, say).
    bool ok() const;

    // As FolderIdentifier::refreshSources: a source is read again only when its size or
    // modification time changed; a source gone takes its entries with it; a source that
    // cannot be read or is malformed keeps none and is named in one message.
    QStringList refresh(const Sources& sources,
                        const std::function<bool(int done, int total)>& progress);

    // Whether any ROM or disk is kept: with none, no file can be identified.
    bool holdsEntries();

    std::vector<RomEntry> entries(qint64 size, quint32 crc) override;
    qint64 generation() override;

private:
    struct Impl;
    Impl* m_impl;
};

}  // namespace identify
