#include "identify/SourceReading.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace identify {

namespace {

bool isSourceName(const QString& name) {
    return !name.startsWith(QLatin1Char('.')) &&
           (name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) ||
            name.endsWith(QLatin1String(".dat"), Qt::CaseInsensitive));
}

}  // namespace

void collect(const QString& path, std::vector<SourceFile>& files) {
    if (const std::optional<platform::RegularFile> file = platform::regularFile(path)) {
        files.push_back({path, *file});
        return;
    }
    DIR* dir = ::opendir(platform::encodeName(path).constData());
    if (!dir) return;
    QStringList names;
    while (const dirent* e = ::readdir(dir)) {
        const QString name = platform::decodeName(QByteArray(e->d_name));
        if (isSourceName(name)) names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    for (const QString& name : names)
        if (const std::optional<platform::RegularFile> file = platform::regularFile(prefix + name))
            files.push_back({prefix + name, *file});
}

void readSources(const std::vector<const SourceFile*>& files, Pipe& pipe) {
    for (const SourceFile* file : files) {
        Block block = pipe.take();
        QFile device;
        const int fd = platform::openRegular(file->path);
        if (fd < 0 || !device.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0) ::close(fd);
            block.last = true;
            block.opened = false;
            if (!pipe.push(std::move(block))) return;
            continue;
        }
        bool cancelled = false;
        // The entry's texts go into a block once for all its ROMs there.
        qint64 entry = -1;
        Block::Rom texts;
        DatSummary summary = DatReader::readViews(
            device, QFileInfo(file->path).completeBaseName(), [&](const RomView& rom) {
                if (rom.id != entry) {
                    entry = rom.id;
                    texts.software = block.add(rom.software);
                    texts.description = block.add(rom.description);
                    texts.year = block.add(rom.year);
                    texts.publisher = block.add(rom.publisher);
                }
                Block::Rom& row = block.roms.emplace_back(texts);
                row.name = block.add(rom.romName);
                row.sha1 = block.add(rom.sha1);
                row.size = rom.size;
                row.crc = rom.crc;
                row.status = rom.status;
                if (block.roms.size() < Pipe::kBlockRoms && block.bytes.size() < Pipe::kBlockBytes)
                    return true;
                cancelled = !pipe.push(std::move(block));
                block = pipe.take();
                entry = -1;
                return !cancelled;
            });
        if (cancelled) return;
        block.summary = std::move(summary);
        block.last = true;
        if (!pipe.push(std::move(block))) return;
    }
}

}  // namespace identify
