#pragma once

#include <QStringList>

namespace platform {

// The mounted volumes, standing in for drives.
class Volumes {
public:
    virtual ~Volumes() = default;
    virtual QStringList roots() = 0;  // root paths, each ending in "/"
    // The root of the volume holding `path` (longest matching root).
    virtual QString rootOf(const QString& path) = 0;
};

}  // namespace platform
