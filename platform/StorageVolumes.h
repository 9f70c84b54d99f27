#pragma once

#include "platform/Volumes.h"

namespace platform {

// The mounted, ready volumes of the system.
class StorageVolumes final : public Volumes {
public:
    QStringList roots() override;
    QString rootOf(const QString& path) override;
};

}  // namespace platform
