#include "identify/SevenZip.h"

#include "checksum/Crc32Kernel.h"
#include "identify/ZipDirectory.h"
#include "platform/FileNames.h"

#include <QCryptographicHash>

#include <archive.h>
#include <archive_entry.h>
#include <unistd.h>

#include <memory>

namespace identify {

namespace {

constexpr QByteArrayView kSignature("7z\xBC\xAF\x27\x1C", 6);
constexpr size_t kBlock = 256 * 1024;

struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};
using Archive = std::unique_ptr<archive, ArchiveCloser>;

Archive new7zReader() {
    Archive a(archive_read_new());
    // Only 7z: a file taken for one by its signature is read as nothing else.
    if (a && archive_read_support_format_7zip(a.get()) != ARCHIVE_OK) a.reset();
    return a;
}

quint64 littleEndian(QByteArrayView bytes, int at, int count) {
    quint64 value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The start header (the first 32 bytes) says where the archive's own header lies and how
// long it is; checked here, a damaged or forged one is refused before the unpacking
// library sizes anything by it.
QString startHeaderProblem(QByteArrayView head, qint64 size) {
    if (head.size() < 32 || size < 32) return QStringLiteral("the 7z is cut short");
    const std::uint32_t crc = ~crckernel::crc32Update(
        0xFFFFFFFFu, reinterpret_cast<const std::uint8_t*>(head.data()) + 12, 20);
    if (crc != littleEndian(head, 8, 4)) return QStringLiteral("the 7z's start header is damaged");
    const quint64 offset = littleEndian(head, 12, 8);
    const quint64 length = littleEndian(head, 20, 8);
    const quint64 room = quint64(size) - 32;
    if (offset > room || length > room - offset)
        return QStringLiteral("the 7z is cut short or damaged (its header lies past its end)");
    return {};
}

QString libarchiveError(archive* a) {
    const char* text = archive_error_string(a);
    return QStringLiteral("the 7z cannot be read: ") +
           (text ? QString::fromUtf8(text) : QStringLiteral("it is damaged"));
}

SevenZipContents readOpened(archive* a, qint64 packedSize, const std::function<bool()>& stopped,
                            const SevenZipLimits& limits) {
    SevenZipContents out;
    const auto fail = [&](const QString& error) {
        out.members.clear();
        out.error = error;
        return out;
    };
    // The ratio's bound, kept from overflowing for any size.
    const qint64 byRatio = packedSize > (limits.maxUnpacked / std::max<qint64>(1, limits.maxRatio))
                               ? limits.maxUnpacked
                               : packedSize * limits.maxRatio + limits.ratioAllowance;
    const qint64 maxUnpacked = std::min(limits.maxUnpacked, byRatio);
    qint64 unpacked = 0;
    qint64 entries = 0;
    const auto block = std::make_unique_for_overwrite<char[]>(kBlock);
    for (;;) {
        archive_entry* entry = nullptr;
        const int rc = archive_read_next_header(a, &entry);
        if (rc == ARCHIVE_EOF) break;
        if (rc < ARCHIVE_WARN) return fail(libarchiveError(a));
        if (++entries > limits.maxMembers)
            return fail(QStringLiteral("the 7z holds more than %1 members").arg(limits.maxMembers));
        const char* rawName = archive_entry_pathname(entry);
        const QByteArray name = rawName ? QByteArray(rawName) : QByteArray();
        if (name.isEmpty() || unsafeMemberName(name))
            return fail(QStringLiteral("the 7z names a member outside itself: %1")
                            .arg(platform::decodeName(name)));
        // Folders, links and the like hold no game.
        if (archive_entry_filetype(entry) != AE_IFREG) continue;
        const qint64 declared = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
        std::uint32_t crc = 0xFFFFFFFFu;  // the kernel works on the inverted value
        QCryptographicHash sha1(QCryptographicHash::Sha1);
        qint64 size = 0;
        for (;;) {
            if (stopped && stopped()) {
                out.stopped = true;
                return fail(QStringLiteral("stopped"));
            }
            const la_ssize_t n = archive_read_data(a, block.get(), kBlock);
            if (n == 0) break;
            if (n < 0) return fail(libarchiveError(a));
            size += n;
            unpacked += n;
            if (declared >= 0 && size > declared)
                return fail(QStringLiteral("the 7z member %1 unpacks to more than it says")
                                .arg(platform::decodeName(name)));
            if (unpacked > maxUnpacked)
                return fail(QStringLiteral("the 7z unpacks to more than %1 MiB, too much for "
                                           "its size")
                                .arg(maxUnpacked >> 20));
            crc = crckernel::crc32Update(crc, reinterpret_cast<const std::uint8_t*>(block.get()),
                                         size_t(n));
            sha1.addData(QByteArrayView(block.get(), n));
        }
        if (declared >= 0 && size != declared)
            return fail(
                QStringLiteral("the 7z member %1 is cut short").arg(platform::decodeName(name)));
        out.members.push_back({name, size, quint32(~crc), sha1.result()});
    }
    return out;
}

}  // namespace

bool looksLike7z(QByteArrayView head) {
    return head.size() >= kSignature.size() && head.first(kSignature.size()) == kSignature;
}

SevenZipContents read7z(int fd, qint64 size, const std::function<bool()>& stopped,
                        const SevenZipLimits& limits) {
    SevenZipContents out;
    char head[32];
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    out.error = startHeaderProblem(QByteArrayView(head, got > 0 ? got : 0), size);
    if (!out.ok()) return out;
    Archive a = new7zReader();
    if (!a || ::lseek(fd, 0, SEEK_SET) != 0 ||
        archive_read_open_fd(a.get(), fd, kBlock) != ARCHIVE_OK) {
        out.error = a ? libarchiveError(a.get()) : QStringLiteral("the 7z reader could not start");
        return out;
    }
    return readOpened(a.get(), size, stopped, limits);
}

SevenZipContents read7zMemory(QByteArrayView bytes, const std::function<bool()>& stopped,
                              const SevenZipLimits& limits) {
    SevenZipContents out;
    out.error =
        startHeaderProblem(bytes.first(std::min<qsizetype>(32, bytes.size())), bytes.size());
    if (!out.ok()) return out;
    Archive a = new7zReader();
    if (!a || archive_read_open_memory(a.get(), bytes.data(), size_t(bytes.size())) != ARCHIVE_OK) {
        out.error = a ? libarchiveError(a.get()) : QStringLiteral("the 7z reader could not start");
        return out;
    }
    return readOpened(a.get(), bytes.size(), stopped, limits);
}

}  // namespace identify
