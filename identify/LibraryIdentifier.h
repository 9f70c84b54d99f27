#pragma once

// The identification the window and rombard-romcheck use: the checksum index and the
// cache of file checksums in the library database.

#include "identify/Identification.h"

#include <memory>

namespace identify {

// Opens its own connection to the library database `databaseFile` (on the calling
// thread, which must be the one that uses it). Null, with `error` set, when the database
// cannot be opened.
std::unique_ptr<FolderIdentifier> openLibraryIdentifier(const QString& databaseFile,
                                                        const Sources& sources,
                                                        QString* error = nullptr);

}  // namespace identify
