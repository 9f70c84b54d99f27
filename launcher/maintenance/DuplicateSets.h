#pragma once

// Disc sets as units of the duplicate search: a set is a copy of another when every file of
// it has a byte-equal twin in the other, pairwise in the order the set names them. A set
// file (.cue, .gdi, .m3u) names its own set's files, so it is compared with the names it
// writes taken as the other set's: "Copy (Track 1).bin" in one and "Beta (Track 1).bin" in
// the other are the same line when those tracks are twins.

#include "filelist/DiscSets.h"

#include <QString>

#include <atomic>

// Whether `copy` is a byte-for-byte copy of `kept`, both sets of `folder` (ending in "/").
// Never when either misses a file, holds a link or anything but plain files, or shares a
// file with the other (a hard link): removing one would then take the other's file.
bool sameDiscSets(const QString& folder, const DiscSet& kept, const DiscSet& copy,
                  const std::atomic<bool>* stop = nullptr);
