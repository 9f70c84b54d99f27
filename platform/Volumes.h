#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace platform {

// A mounted volume as the drive list shows it.
struct Drive {
    QString root;  // ends in "/"
    QString name;  // the label the desktop shows; empty when it has none but its path
    bool operator==(const Drive&) const = default;
};

// The mounted volumes a user would call drives.
class Volumes {
public:
    virtual ~Volumes() = default;
    virtual QStringList roots() = 0;  // root paths, each ending in "/"
    // The root of the volume holding `path` (longest matching root).
    virtual QString rootOf(const QString& path) = 0;
    // The roots with their names; a volume without a name of its own shows its path.
    virtual QList<Drive> drives() {
        QList<Drive> out;
        for (const QString& root : roots())
            out.append({root, QString()});
        return out;
    }
};

}  // namespace platform
