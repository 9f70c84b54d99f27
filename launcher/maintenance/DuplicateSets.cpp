#include "launcher/maintenance/DuplicateSets.h"

#include "launcher/PathHelpers.h"
#include "launcher/maintenance/DiscSetCommands.h"
#include "platform/FileNames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

constexpr size_t kBlock = size_t{256} << 10;

struct Opened {
    int fd = -1;
    struct stat st {};
    ~Opened() {
        if (fd >= 0) ::close(fd);
    }
};

// A plain file of the folder, opened as itself (a link is refused).
bool openPlain(const QString& path, Opened& file) {
    file.fd = ::open(platform::encodeName(path).constData(),
                     O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    return file.fd >= 0 && ::fstat(file.fd, &file.st) == 0 && S_ISREG(file.st.st_mode);
}

bool readFull(int fd, char* buffer, size_t size, size_t& got) {
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += size_t(n);
    }
    return true;
}

bool sameBytes(int a, int b, const std::atomic<bool>* stop) {
    const auto x = std::make_unique<char[]>(kBlock);
    const auto y = std::make_unique<char[]>(kBlock);
    for (;;) {
        if (stop && stop->load()) return false;
        size_t gx = 0, gy = 0;
        if (!readFull(a, x.get(), kBlock, gx) || !readFull(b, y.get(), kBlock, gy) || gx != gy)
            return false;
        if (std::memcmp(x.get(), y.get(), gx) != 0) return false;
        if (gx < kBlock) return true;
    }
}

}  // namespace

bool sameDiscSets(const QString& folder, const DiscSet& kept, const DiscSet& copy,
                  const std::atomic<bool>* stop) {
    if (!kept.missing.isEmpty() || !copy.missing.isEmpty()) return false;
    if (kept.members.size() != copy.members.size()) return false;
    QStringList keptFiles{kept.top}, copyFiles{copy.top};
    keptFiles += kept.members;
    copyFiles += copy.members;
    // A set file of the copy, its references named as the kept set's files, is its twin's
    // bytes.
    QHash<QString, QString> asKept;
    for (qsizetype i = 0; i < copyFiles.size(); ++i) {
        if (extensionOf(keptFiles[i]).compare(extensionOf(copyFiles[i]), Qt::CaseInsensitive) != 0)
            return false;
        asKept.insert(platform::foldName(copyFiles[i]), keptFiles[i]);
    }
    for (qsizetype i = 0; i < copyFiles.size(); ++i) {
        Opened a, b;
        if (!openPlain(folder + keptFiles[i], a) || !openPlain(folder + copyFiles[i], b))
            return false;
        if (a.st.st_dev == b.st.st_dev && a.st.st_ino == b.st.st_ino) return false;
        if (a.st.st_size != b.st.st_size && !isSetFileName(copyFiles[i])) return false;
        if (!isSetFileName(copyFiles[i])) {
            if (!sameBytes(a.fd, b.fd, stop)) return false;
            continue;
        }
        const auto keptBytes = platform::readRegularFile(folder + keptFiles[i], kSetFileMaxBytes);
        const auto copyBytes = platform::readRegularFile(folder + copyFiles[i], kSetFileMaxBytes);
        if (!keptBytes || !copyBytes ||
            renamedReferences(copyFiles[i], *copyBytes, asKept) != *keptBytes)
            return false;
    }
    return true;
}
