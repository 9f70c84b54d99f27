#include "identify/GameIdentifier.h"

#include "checksum/Crc32.h"
#include "identify/ChdHeader.h"
#include "identify/SevenZip.h"
#include "identify/ZipDirectory.h"
#include "platform/FileNames.h"

#include <QCryptographicHash>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace identify {

namespace {

// Below this a second thread costs more than it saves.
constexpr size_t kSplitStats = 2000;

int rank(Verdict v) {
    switch (v) {
        case Verdict::Verified:
        case Verdict::VerifiedHeader:
            return 3;
        case Verdict::BadDump:
            return 2;
        case Verdict::CrcOnly:
            return 1;
        case Verdict::Unknown:
            break;
    }
    return 0;
}

Verdict entryVerdict(const RomEntry& e, const QByteArray& sha1) {
    if (!e.sha1.isEmpty() && e.sha1 != sha1) return Verdict::CrcOnly;
    if (e.status != DumpStatus::Good) return Verdict::BadDump;
    return Verdict::Verified;
}

bool anySha1(const std::vector<RomEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(),
                       [](const RomEntry& e) { return !e.sha1.isEmpty(); });
}

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::optional<FileStamp> stampOfDescriptor(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return stampOfStat(st);
}

// The names from `from` up to `to` as the file system spells them, in one buffer.
PackedNames packed(const QStringList& names, qsizetype from, qsizetype to) {
    qsizetype bytes = 0;
    for (qsizetype i = from; i < to; ++i)
        bytes += names[i].size();
    PackedNames out;
    out.reserve(to - from, bytes);
    for (qsizetype i = from; i < to; ++i)
        out.append(platform::encodeName(names[i]));
    return out;
}

// Which files kept in the cache are as they were kept (the others are read anyway), one flag
// a file. A stat is most of
// what a second look at a folder costs, and it is mostly the system's time: each is asked
// relative to its folder, opened once, so the folder's own path is not walked every time,
// and a long list is split over two threads. Each path follows `prefix`.
std::vector<char> unchangedOf(const QByteArray& prefix, const PackedNames& paths,
                              const CachedFiles& kept) {
    // Not vector<bool>: the two threads write neighbouring flags.
    std::vector<char> unchanged(size_t(paths.size()), 0);
    const auto run = [&](size_t from, size_t to) {
        QByteArray folder;
        int folderFd = -1;
        for (size_t i = from; i < to; ++i) {
            if (!kept.has(i)) continue;
            // A path of its own, ending in the NUL the calls below need.
            QByteArray name = prefix;
            name += paths[qsizetype(i)];
            const qsizetype slash = name.lastIndexOf('/');
            if (slash <= 0) {
                unchanged[i] = stampOf(name) == kept.stamp(i);
                continue;
            }
            if (folderFd < 0 || QByteArrayView(name.constData(), slash) != folder) {
                if (folderFd >= 0) ::close(folderFd);
                folder = name.left(slash);
                folderFd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            }
            struct stat st {};
            if (folderFd >= 0 && ::fstatat(folderFd, name.constData() + slash + 1, &st, 0) == 0 &&
                S_ISREG(st.st_mode))
                unchanged[i] = stampOfStat(st) == kept.stamp(i);
        }
        if (folderFd >= 0) ::close(folderFd);
    };
    const size_t half = unchanged.size() / 2;
    if (unchanged.size() < kSplitStats || std::thread::hardware_concurrency() < 2) {
        run(0, unchanged.size());
    } else {
        std::thread other(run, half, unchanged.size());
        run(0, half);
        other.join();
    }
    return unchanged;
}

// One block of a file, or 0 at its end, or -1.
qint64 readBlock(int fd, char* block) {
    for (;;) {
        const ssize_t n = ::read(fd, block, Crc32::kFileBlock);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

QString changedWhileRead() {
    return QStringLiteral("the file changed while it was read");
}

// Reads and sums files on two threads (one on a single core), a few ahead of the thread that
// takes their checksums. The CRC costs about half of what copying out of the page cache does,
// so one thread alone would spend a third of a first look on it; two whole files at a time
// use both cores, and the taker's lookups and cache writes fit in between.
// At most kInFlight files are being read or waiting to be taken, so memory stays at a few
// blocks and a stop wastes little.
class ReadAhead {
public:
    static constexpr size_t kInFlight = 4;
    struct Done {
        int index = -1;
        bool ok = false;
        CachedFile file;
        QString problem;
    };
    using Read = std::function<bool(int index, char* block, const std::atomic<bool>& stop,
                                    CachedFile& file, QString& problem)>;

    ReadAhead(std::vector<int> jobs, Read read) : m_jobs(std::move(jobs)), m_read(std::move(read)) {
        const size_t threads =
            std::min<size_t>({2, std::max(1u, std::thread::hardware_concurrency()), m_jobs.size()});
        for (size_t t = 0; t < threads; ++t)
            m_threads.emplace_back([this] { work(); });
    }
    ~ReadAhead() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_room.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next file read, in the order they finish. Without `wait`, nothing when none is
    // ready yet; with it, nothing only once every file has been handed out.
    std::optional<Done> next(bool wait) {
        std::unique_lock lock(m_mutex);
        const auto ready = [&] { return !m_done.empty() || m_handed == m_jobs.size(); };
        if (wait) m_ready.wait(lock, ready);
        if (m_done.empty()) return std::nullopt;
        Done done = std::move(m_done.front());
        m_done.pop_front();
        ++m_handed;
        lock.unlock();
        m_room.notify_one();
        return done;
    }

private:
    void work() {
        const auto block = std::make_unique_for_overwrite<char[]>(Crc32::kFileBlock);
        for (;;) {
            Done done;
            {
                std::unique_lock lock(m_mutex);
                m_room.wait(lock, [&] {
                    return m_stop || m_taken == m_jobs.size() || m_taken - m_handed < kInFlight;
                });
                if (m_stop || m_taken == m_jobs.size()) return;
                done.index = m_jobs[m_taken++];
            }
            done.ok = m_read(done.index, block.get(), m_stop, done.file, done.problem);
            {
                std::lock_guard lock(m_mutex);
                if (m_stop) return;
                m_done.push_back(std::move(done));
            }
            m_ready.notify_one();
        }
    }

    const std::vector<int> m_jobs;
    const Read m_read;
    std::mutex m_mutex;
    std::condition_variable m_ready;  // a file was read
    std::condition_variable m_room;   // a file was taken, or stop
    std::deque<Done> m_done;
    size_t m_taken = 0;   // files given to a reading thread
    size_t m_handed = 0;  // files handed on by next()
    std::atomic<bool> m_stop = false;
    std::vector<std::thread> m_threads;
};

}  // namespace

GameIdentifier::GameIdentifier(ChecksumLookup& lookup, ChecksumCache* cache)
    : m_lookup(lookup), m_cache(cache && cache->ok() ? cache : nullptr) {}

Identification GameIdentifier::decide(std::vector<RomEntry> entries, const QByteArray& sha1) {
    Identification id;
    if (entries.empty()) return id;
    std::stable_sort(entries.begin(), entries.end(), [&](const RomEntry& a, const RomEntry& b) {
        return rank(entryVerdict(a, sha1)) > rank(entryVerdict(b, sha1));
    });
    id.verdict = entryVerdict(entries.front(), sha1);
    id.matches = std::move(entries);
    return id;
}

char* GameIdentifier::buffer() {
    if (!m_buffer) m_buffer = std::make_unique_for_overwrite<char[]>(Crc32::kFileBlock);
    return m_buffer.get();
}

int GameIdentifier::openForReading(const QByteArray& path, FileStamp& stamp, QString& problem) {
    // Never waits for a FIFO's writer, and reads only what turned out to be a regular file
    // (where O_NONBLOCK changes nothing, so it stays).
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = QStringLiteral("cannot be read: %1").arg(qt_error_string(errno));
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        problem = QStringLiteral("not a regular file");
        return -1;
    }
    stamp = stampOfStat(st);
    ++m_filesRead;
    return fd;
}

int GameIdentifier::openUnchanged(const QByteArray& path, const FileStamp& expected,
                                  QString& problem) {
    FileStamp stamp;
    Descriptor file{openForReading(path, stamp, problem)};
    if (file.fd >= 0 && stamp != expected) {
        problem = changedWhileRead();
        return -1;
    }
    return std::exchange(file.fd, -1);
}

bool GameIdentifier::sha1OfFile(const QByteArray& path, const FileStamp& expected, QByteArray& sha1,
                                QString& problem) {
    Descriptor file{openUnchanged(path, expected, problem)};
    if (file.fd < 0) return false;
    QCryptographicHash hash(QCryptographicHash::Sha1);
    char* const block = buffer();
    qint64 n;
    while ((n = readBlock(file.fd, block)) > 0)
        hash.addData(QByteArrayView(block, n));
    if (n < 0) {
        problem = QStringLiteral("cannot be read: %1").arg(qt_error_string(errno));
        return false;
    }
    if (stampOfDescriptor(file.fd) != expected) {
        problem = changedWhileRead();
        return false;
    }
    sha1 = hash.result();
    return true;
}

bool GameIdentifier::sha1OfMember(const QByteArray& path, const FileStamp& expected,
                                  MemberSums& member, QString& problem) {
    Descriptor file{openUnchanged(path, expected, problem)};
    if (file.fd < 0) return false;
    FileZipSource source(file.fd, expected.size);
    const ZipDirectory directory = readZipDirectory(source);
    const auto it =
        std::find_if(directory.members.begin(), directory.members.end(), [&](const ZipMember& m) {
            return m.name == member.name && m.size == member.size && m.crc == member.crc;
        });
    if (it == directory.members.end()) {
        problem = changedWhileRead();
        return false;
    }
    const MemberDigest digest = digestMember(source, *it);
    if (!digest.ok()) {
        problem = QStringLiteral("%1: %2").arg(platform::decodeName(member.name), digest.error);
        return false;
    }
    member.sha1 = digest.sha1;
    return true;
}

std::optional<Identification> GameIdentifier::answerFromSums(FileSums& sums, const FileStamp& stamp,
                                                             bool mayRead, const QByteArray& path) {
    switch (sums.kind) {
        case FileSums::Kind::Refused: {
            Identification id;
            id.problem = sums.problem;
            return id;
        }
        case FileSums::Kind::Plain: {
            std::vector<RomEntry> entries = m_lookup.entries(stamp.size, sums.crc);
            if (anySha1(entries) && sums.sha1.isEmpty()) {
                if (!mayRead) return std::nullopt;
                Identification id;
                if (!sha1OfFile(path, stamp, sums.sha1, id.problem)) return id;
            }
            return decide(std::move(entries), sums.sha1);
        }
        case FileSums::Kind::Disk: {
            Identification id = decide(m_lookup.disks(sums.sha1), sums.sha1);
            if (id.verdict == Verdict::Verified) id.verdict = Verdict::VerifiedHeader;
            return id;
        }
        case FileSums::Kind::Zip:
            break;
    }
    Identification best;
    qint64 bestSize = -1;
    if (sums.members.size() == 1) best.member = platform::decodeName(sums.members.front().name);
    for (MemberSums& m : sums.members) {
        std::vector<RomEntry> entries = m_lookup.entries(m.size, m.crc);
        if (entries.empty()) continue;
        Identification mine;
        if (anySha1(entries) && m.sha1.isEmpty()) {
            if (!mayRead) return std::nullopt;
            sha1OfMember(path, stamp, m, mine.problem);
        }
        if (mine.problem.isEmpty()) mine = decide(std::move(entries), m.sha1);
        mine.member = platform::decodeName(m.name);
        if (bestSize < 0 || rank(mine.verdict) > rank(best.verdict) ||
            (rank(mine.verdict) == rank(best.verdict) && m.size > bestSize)) {
            best = std::move(mine);
            bestSize = m.size;
        }
    }
    return best;
}

bool GameIdentifier::readSums(const QByteArray& path, char* block, const std::atomic<bool>& stop,
                              CachedFile& file, QString& problem) {
    Descriptor fd{openForReading(path, file.stamp, problem)};
    if (fd.fd < 0) return false;
    // A CHD is known by its header alone: one small read, and the image is never unpacked.
    char head[kChdHeaderRead];
    const ssize_t headBytes = ::pread(fd.fd, head, sizeof head, 0);
    if (headBytes > 0 && looksLikeChd(QByteArrayView(head, headBytes))) {
        const ChdHeader chd = readChdHeader(QByteArrayView(head, headBytes), file.stamp.size);
        file.sums.kind = chd.ok() ? FileSums::Kind::Disk : FileSums::Kind::Refused;
        file.sums.sha1 = chd.sha1;
        file.sums.problem = chd.problem;
        return true;
    }
    if (headBytes > 0 && looksLike7z(QByteArrayView(head, headBytes))) {
        SevenZipContents contents = read7z(fd.fd, file.stamp.size, [&] {
            return stop.load(std::memory_order_relaxed) || (m_stopCheck && m_stopCheck());
        });
        if (contents.stopped) {
            problem = QStringLiteral("stopped");
            return false;
        }
        file.sums.kind = contents.ok() ? FileSums::Kind::Zip : FileSums::Kind::Refused;
        file.sums.members = std::move(contents.members);
        file.sums.problem = contents.error;
        if (m_afterReading) m_afterReading(path);
        if (stampOfDescriptor(fd.fd) != file.stamp) {
            problem = changedWhileRead();
            return false;
        }
        return true;
    }
    // The first block tells a zip from a plain file and is the start of its CRC.
    qint64 got = readBlock(fd.fd, block);
    if (got >= 4 && looksLikeZip(QByteArrayView(block, 4))) {
        FileZipSource source(fd.fd, file.stamp.size);
        const ZipDirectory directory = readZipDirectory(source);
        file.sums.kind = FileSums::Kind::Zip;
        if (!directory.ok()) {
            file.sums.kind = FileSums::Kind::Refused;
            file.sums.problem = directory.error;
        }
        for (const ZipMember& m : directory.members) {
            if (unsafeMemberName(m.name)) {
                file.sums.kind = FileSums::Kind::Refused;
                file.sums.problem = QStringLiteral("the zip names a member outside itself: %1")
                                        .arg(platform::decodeName(m.name));
                file.sums.members.clear();
                break;
            }
            if (!m.isFolder()) file.sums.members.push_back({m.name, m.size, m.crc, {}});
        }
    } else {
        // Block by block through one buffer per thread that stays in its core's cache. A stop
        // is looked at between blocks: a big file must not hold up the end of a look.
        Crc32 crc;
        while (got > 0) {
            if (stop.load(std::memory_order_relaxed)) {
                problem = QStringLiteral("stopped");
                return false;
            }
            crc.addBytes({reinterpret_cast<const std::uint8_t*>(block), size_t(got)});
            got = readBlock(fd.fd, block);
        }
        if (got < 0) {
            problem = QStringLiteral("cannot be read: %1").arg(qt_error_string(errno));
            return false;
        }
        file.sums.crc = quint32(crc.value().number());
    }
    if (m_afterReading) m_afterReading(path);
    if (stampOfDescriptor(fd.fd) != file.stamp) {
        problem = changedWhileRead();
        return false;
    }
    return true;
}

Identification GameIdentifier::answerRead(const QByteArray& path, CachedFile& file) {
    file.answer = *answerFromSums(file.sums, file.stamp, true, path);
    file.generation = m_generation;
    // A file that changed under a later read is answered but not kept: its next look reads it.
    if (file.answer.problem != changedWhileRead() && m_cache) m_cache->store(path, file);
    return file.answer;
}

void GameIdentifier::identify(const QStringList& paths,
                              const std::function<bool(int, const Identification&)>& each) {
    identifyFiles(QByteArray(), paths, each);
}

void GameIdentifier::identifyIn(const QString& folder, const QStringList& names,
                                const std::function<bool(int, const Identification&)>& each) {
    QByteArray prefix = platform::encodeName(folder);
    if (!prefix.endsWith('/')) prefix += '/';
    identifyFiles(prefix, names, each);
}

void GameIdentifier::identifyFiles(const QByteArray& folder, const QStringList& names,
                                   const std::function<bool(int, const Identification&)>& each) {
    m_generation = m_lookup.generation();
    if (m_cache) m_cache->beginBatch();
    // Each slice's names are encoded as it comes, never the whole folder's at once.
    for (qsizetype from = 0; from < names.size(); from += m_sliceSize) {
        const qsizetype to = std::min(names.size(), from + m_sliceSize);
        if (!identifySlice(folder, packed(names, from, to), int(from), each)) break;
    }
    if (m_cache) m_cache->endBatch();
}

bool GameIdentifier::identifySlice(const QByteArray& folder, const PackedNames& names, int first,
                                   const std::function<bool(int, const Identification&)>& each) {
    // A file's whole path is made only where one file is read or kept.
    const auto pathOf = [&](int i) {
        QByteArray path = folder;
        path += names[i];
        return path;
    };
    const CachedFiles cached = m_cache ? m_cache->load(folder, names) : CachedFiles(names.size());
    const std::vector<char> unchanged = unchangedOf(folder, names, cached);

    // First everything that needs no reading: an unchanged file answered against this very
    // index, or whose checksums answer against a new one. The rest is left for later: files
    // never read (or changed) to read, and kept files whose new answer needs a SHA-1.
    std::vector<int> toRead;
    std::vector<int> needSha1;
    bool go = true;
    for (int i = 0; i < names.size() && go; ++i) {
        std::optional<CachedFile> kept =
            unchanged[size_t(i)] ? cached.at(size_t(i)) : std::optional<CachedFile>();
        if (!kept) {
            toRead.push_back(i);
            continue;
        }
        if (kept->generation == m_generation) {
            go = each(first + i, kept->answer);
            continue;
        }
        if (std::optional<Identification> answer =
                answerFromSums(kept->sums, kept->stamp, false, pathOf(i))) {
            kept->answer = std::move(*answer);
            kept->generation = m_generation;
            if (m_cache) m_cache->store(pathOf(i), *kept);
            go = each(first + i, kept->answer);
            continue;
        }
        needSha1.push_back(i);
    }
    // Then the rest: files never read are read and summed ahead on the reading threads,
    // while this thread answers what they hand back and, in the gaps, the kept files whose
    // new answer needs a SHA-1 (read here: this thread is mostly idle).
    if (go) {
        ReadAhead readers(std::move(toRead), [&](int i, char* block, const std::atomic<bool>& stop,
                                                 CachedFile& file, QString& problem) {
            return readSums(pathOf(i), block, stop, file, problem);
        });
        size_t nextSha1 = 0;
        while (go) {
            std::optional<ReadAhead::Done> done = readers.next(nextSha1 == needSha1.size());
            if (done) {
                if (!done->ok) {
                    Identification failed;
                    failed.problem = std::move(done->problem);
                    go = each(first + done->index, failed);
                } else {
                    go = each(first + done->index, answerRead(pathOf(done->index), done->file));
                }
            } else if (nextSha1 < needSha1.size()) {
                const int i = needSha1[nextSha1++];
                CachedFile file = *cached.at(size_t(i));
                go = each(first + i, answerRead(pathOf(i), file));
            } else {
                break;
            }
        }
        // Leaving the scope stops and joins the readers before the batch is committed.
    }
    return go;
}

Identification GameIdentifier::identify(const QString& path) {
    Identification answer;
    identify(QStringList{path}, [&](int, const Identification& a) {
        answer = a;
        return true;
    });
    return answer;
}

}  // namespace identify
