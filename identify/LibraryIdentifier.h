#pragma once

// The identification the window and rombard-romcheck use: the checksum index and the
// cache of file checksums, both in the checksum cache database.

#include "identify/Identification.h"

#include <memory>

namespace identify {

// Opens its own connection to the cache database `cacheFile` (ChecksumDb::defaultFile();
// on the calling thread, which must be the one that uses it). Null, with `error` set, when
// the database cannot be opened. The library database is never opened here: a second
// connection to it beside the window's has nothing to gain.
std::unique_ptr<FolderIdentifier> openLibraryIdentifier(const QString& cacheFile,
                                                        const Sources& sources,
                                                        QString* error = nullptr);

}  // namespace identify
