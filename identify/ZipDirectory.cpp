#include "identify/ZipDirectory.h"

#include <QCryptographicHash>
#include <QList>

#include <zip.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

namespace identify {

namespace {

constexpr quint32 kLocalHeader = 0x04034b50;
constexpr quint32 kEndRecord = 0x06054b50;
constexpr qint64 kLocalHeaderSize = 30;
constexpr qint64 kCentralHeaderSize = 46;
constexpr qint64 kEndRecordSize = 22;
constexpr qint64 kChunk = 64 * 1024;

// libzip reads through this, from the caller's source; a position of its own keeps the
// caller's descriptor where it was.
class Bridge {
public:
    explicit Bridge(ZipSource& source) : m_source(source) { zip_error_init(&m_error); }
    ~Bridge() { zip_error_fini(&m_error); }
    Bridge(const Bridge&) = delete;
    Bridge& operator=(const Bridge&) = delete;

    static zip_int64_t callback(void* state, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
        return static_cast<Bridge*>(state)->answer(data, length, command);
    }

private:
    zip_int64_t answer(void* data, zip_uint64_t length, zip_source_cmd_t command) {
        const qint64 size = m_source.size();
        switch (command) {
            case ZIP_SOURCE_OPEN:
                m_position = 0;
                return 0;
            case ZIP_SOURCE_READ: {
                const qint64 want = qint64(std::min<zip_uint64_t>(length, quint64(size)));
                const qint64 n = m_position >= size
                                     ? 0
                                     : m_source.readAt(m_position, static_cast<char*>(data),
                                                       std::min(want, size - m_position));
                if (n < 0) {
                    zip_error_set(&m_error, ZIP_ER_READ, errno);
                    return -1;
                }
                m_position += n;
                return n;
            }
            case ZIP_SOURCE_CLOSE:
            case ZIP_SOURCE_FREE:
                return 0;
            case ZIP_SOURCE_STAT: {
                auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &m_error);
                if (!st) return -1;
                zip_stat_init(st);
                st->size = zip_uint64_t(size);
                st->valid |= ZIP_STAT_SIZE;
                return sizeof(zip_stat_t);
            }
            case ZIP_SOURCE_ERROR:
                return zip_error_to_data(&m_error, data, length);
            case ZIP_SOURCE_SEEK: {
                const zip_int64_t to = zip_source_seek_compute_offset(
                    zip_uint64_t(m_position), zip_uint64_t(size), data, length, &m_error);
                if (to < 0) return -1;
                m_position = to;
                return 0;
            }
            case ZIP_SOURCE_TELL:
                return m_position;
            case ZIP_SOURCE_SUPPORTS:
                return zip_source_make_command_bitmap(
                    ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                    ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                    ZIP_SOURCE_SUPPORTS, -1);
            default:
                zip_error_set(&m_error, ZIP_ER_OPNOTSUPP, 0);
                return -1;
        }
    }

    ZipSource& m_source;
    qint64 m_position = 0;
    zip_error_t m_error;
};

struct ZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

// An archive open for reading; the bridge outlives libzip's use of it.
struct Archive {
    std::unique_ptr<Bridge> bridge;
    std::unique_ptr<zip_t, ZipDiscard> zip;
};

QString describe(zip_error_t* error) {
    return QString::fromUtf8(zip_error_strerror(error));
}

QString openArchive(ZipSource& source, Archive& archive) {
    // libzip takes an empty file for an empty archive; it is no zip.
    if (source.size() < kEndRecordSize) return QStringLiteral("too short to be a zip");
    archive.bridge = std::make_unique<Bridge>(source);
    zip_error_t error;
    zip_error_init(&error);
    QString problem;
    zip_source_t* bytes =
        zip_source_function_create(&Bridge::callback, archive.bridge.get(), &error);
    if (bytes) archive.zip.reset(zip_open_from_source(bytes, ZIP_RDONLY, &error));
    if (!archive.zip) {
        problem = QStringLiteral("the zip cannot be read: %1").arg(describe(&error));
        zip_source_free(bytes);  // still ours when the opening failed
    }
    zip_error_fini(&error);
    return problem;
}

// A 64-bit size as a file position: anything past qint64 cannot be inside a file.
bool fitsPosition(quint64 v) {
    return v <= quint64(std::numeric_limits<qint64>::max());
}

constexpr zip_uint64_t kNeeded = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC |
                                 ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;

bool memberAt(zip_t* zip, quint64 index, ZipMember& m) {
    zip_stat_t st;
    // Raw names: libzip would otherwise turn names it takes for code page 437 into UTF-8.
    if (zip_stat_index(zip, index, ZIP_FL_ENC_RAW, &st) != 0 || (st.valid & kNeeded) != kNeeded ||
        !st.name || !fitsPosition(st.size) || !fitsPosition(st.comp_size))
        return false;
    m.name = QByteArray(st.name);
    m.compressedSize = qint64(st.comp_size);
    m.size = qint64(st.size);
    m.crc = st.crc;
    m.method = st.comp_method;
    m.encrypted = st.encryption_method != ZIP_EM_NONE;
    m.index = index;
    return true;
}

}  // namespace

qint64 MemoryZipSource::readAt(qint64 offset, char* out, qint64 length) {
    if (offset < 0 || length < 0) return -1;
    if (offset >= m_bytes.size()) return 0;
    const qint64 n = std::min(length, qint64(m_bytes.size()) - offset);
    std::memcpy(out, m_bytes.data() + offset, size_t(n));
    return n;
}

qint64 FileZipSource::readAt(qint64 offset, char* out, qint64 length) {
    for (;;) {
        const ssize_t n = ::pread(m_fd, out, size_t(length), off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

bool unsafeMemberName(const QByteArray& name) {
    if (name.isEmpty() || name.startsWith('/') || name.contains('\\') || name.contains('\0'))
        return true;
    for (const QByteArray& step : name.split('/'))
        if (step == "..") return true;
    return false;
}

bool looksLikeZip(QByteArrayView head) {
    if (head.size() < 4) return false;
    quint32 signature = 0;
    for (int i = 3; i >= 0; --i)
        signature = signature << 8 | static_cast<unsigned char>(head[i]);
    return signature == kLocalHeader || signature == kEndRecord;
}

ZipDirectory readZipDirectory(ZipSource& source) {
    ZipDirectory result;
    const auto fail = [&](QString error) {
        result.members.clear();
        result.error = std::move(error);
        return result;
    };
    Archive archive;
    if (QString error = openArchive(source, archive); !error.isEmpty()) return fail(error);
    const zip_int64_t count = zip_get_num_entries(archive.zip.get(), 0);
    // libzip does not say where each member's data starts, so whether two records share
    // their bytes cannot be seen. What can be: every member needs a local header, its packed
    // bytes and a directory record of its own, all before the end record. Members that claim
    // more than that room must overlap, as the records of an overlapping-record bomb do;
    // within it, all the members together can never feed more than the file's bytes to the
    // unpacking.
    const quint64 room = quint64(source.size() - kEndRecordSize);
    quint64 claimed = 0;
    result.members.reserve(size_t(std::clamp<zip_int64_t>(count, 0, 4096)));
    for (zip_int64_t i = 0; i < count; ++i) {
        ZipMember m;
        if (!memberAt(archive.zip.get(), quint64(i), m))
            return fail(QStringLiteral("the zip directory is damaged"));
        const quint64 extent =
            quint64(kLocalHeaderSize + kCentralHeaderSize + 2 * m.name.size()) + m.compressedSize;
        if (quint64(m.compressedSize) > room || (claimed += extent) > room)
            return fail(QStringLiteral("zip members overlap or point outside the file"));
        result.members.push_back(std::move(m));
    }
    return result;
}

MemberDigest digestMember(ZipSource& source, const ZipMember& member, qint64 maxSize) {
    MemberDigest result;
    const auto fail = [&](QString error) {
        result.error = std::move(error);
        return result;
    };
    if (member.encrypted) return fail(QStringLiteral("the member is encrypted"));
    if (member.method != ZIP_CM_STORE && member.method != ZIP_CM_DEFLATE)
        return fail(QStringLiteral("the member's compression (method %1) is not supported")
                        .arg(member.method));
    if (member.size > maxSize)
        return fail(QStringLiteral("the member says it is %1 bytes, more than the %2 taken")
                        .arg(member.size)
                        .arg(maxSize));
    if (member.method == ZIP_CM_STORE && member.compressedSize != member.size)
        return fail(QStringLiteral("the member's stored size does not match"));

    Archive archive;
    if (QString error = openArchive(source, archive); !error.isEmpty()) return fail(error);
    // The archive is read again: it has to hold the very member listed, or it changed.
    ZipMember now;
    if (!memberAt(archive.zip.get(), member.index, now) || now.name != member.name ||
        now.size != member.size || now.crc != member.crc ||
        now.compressedSize != member.compressedSize || now.method != member.method || now.encrypted)
        return fail(QStringLiteral("the member is not the one listed (the zip changed?)"));
    const std::unique_ptr<zip_file_t, ZipFileClose> file(
        zip_fopen_index(archive.zip.get(), member.index, 0));
    if (!file)
        return fail(QStringLiteral("the member cannot be unpacked: %1")
                        .arg(describe(zip_get_error(archive.zip.get()))));

    QCryptographicHash sha1(QCryptographicHash::Sha1);
    qint64 produced = 0;
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunk);
    for (;;) {
        // libzip unpacks no more than is asked for, so the output is looked at after each
        // piece; left to itself it checks the size (and the CRC-32) only at the stream's end.
        const zip_int64_t n = zip_fread(file.get(), chunk.get(), zip_uint64_t(kChunk));
        if (n < 0)
            return fail(QStringLiteral("the member cannot be unpacked: %1")
                            .arg(describe(zip_file_get_error(file.get()))));
        if (n == 0) break;
        produced += n;
        if (produced > member.size)
            return fail(QStringLiteral("the member unpacks to more than its stated size"));
        sha1.addData(QByteArrayView(chunk.get(), n));
    }
    if (produced != member.size)
        return fail(QStringLiteral("the member unpacks to less than its stated size"));
    result.sha1 = sha1.result();
    return result;
}

}  // namespace identify
