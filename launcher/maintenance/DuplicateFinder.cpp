#include "launcher/maintenance/DuplicateFinder.h"

#include "checksum/Crc32.h"
#include "filelist/DiscSets.h"
#include "launcher/PathHelpers.h"
#include "launcher/maintenance/DiscSetCommands.h"
#include "launcher/maintenance/DuplicateSets.h"
#include "launcher/maintenance/FileRenaming.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <utility>

namespace {

// Most ROMs of one size differ within their first block (headers, titles); only the
// rest needs a whole-file pass.
constexpr qint64 kFirstBlock = 4096;
constexpr size_t kBlock = size_t{256} << 10;

using FileId = std::pair<dev_t, ino_t>;

FileId idOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

// What a file was when it was sized: a removal goes ahead only while the entry still says
// the same, so the bytes compared are the bytes that go.
struct Stamp {
    FileId id{};
    off_t size = -1;
    timespec modified{};

    static Stamp of(const struct stat& st) { return {idOf(st), st.st_size, st.st_mtim}; }
    bool operator==(const Stamp& o) const {
        return id == o.id && size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

struct Row {
    qint64 size = -1;  // -1: not a regular file (links are never compared)
    Stamp stamp;
    int group = -1;         // rows of one size, when that size repeats
    int cls = -1;           // rows that may be equal: same size, same first block, same CRC
    bool done = false;      // compared as a copy of an earlier row, or found changed
    signed char shot = -1;  // has a screenshot of its own; -1 not asked yet
};

bool isJad(const QString& name) {
    return name.endsWith(QLatin1String(".jad"), Qt::CaseInsensitive);
}

bool isJar(const QString& name) {
    return name.endsWith(QLatin1String(".jar"), Qt::CaseInsensitive);
}

bool isGoodDump(const QString& name) {
    return name.contains(QLatin1String(" [!]"));
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Fills `buffer` up to `size` bytes unless the file ends first; -1 on a read error.
ssize_t readFull(int fd, std::uint8_t* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return ssize_t(done);
}

using Rule = DuplicateSearchResult::Rule;

class Search {
public:
    Search(const QString& folder, const QStringList& names, platform::FileOperations& files,
           DuplicateMode mode, const DuplicateSearchHooks& hooks,
           const HasScreenshot& hasScreenshot)
        : m_folder(folder),
          m_names(names),
          m_files(files),
          m_remover(mode == DuplicateMode::Remove ? &files : nullptr),
          m_hooks(hooks),
          m_hasScreenshot(hasScreenshot),
          m_dir(
              ::open(platform::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
          m_sets(discSetsIn(folder)) {}

    DuplicateSearchResult run();

private:
    QByteArray raw(int row) const { return platform::encodeName(m_names.at(row)); }
    QString path(int row) const { return m_folder + m_names.at(row); }
    int openRow(int row);
    bool unchanged(int row, int fd);
    bool confirm(int row) const;
    std::optional<struct stat> entry(const QString& path) const;
    bool stopped() const { return m_hooks.stop && m_hooks.stop->load(); }
    bool keepGoing() { return !stopped() && (!m_hooks.keepGoing || m_hooks.keepGoing()); }
    void sizes();
    void groupBySize();
    bool split(int group);
    void addClass(std::vector<int> rows);
    std::optional<std::uint32_t> firstBlockCrc(int row);
    std::optional<std::uint32_t> fileCrc(int row);
    bool sameBytes(int kept, int copy);
    bool live(int row) const;
    bool hasShot(int row);
    bool better(int a, int b);
    Rule ruleFor(int kept, int copy);
    bool belongsToJar(const QString& jadPath);
    void keep(int kept);
    bool removeCopy(int kept, int copy);
    bool inSet(int row) const;
    bool compareSets();
    bool removeSetCopy(int kept, int copy);
    std::uint8_t* buffer(int which);

    QString m_folder;
    const QStringList& m_names;
    platform::FileOperations& m_files;
    platform::FileOperations* m_remover;  // null in a dry run
    const DuplicateSearchHooks& m_hooks;
    const HasScreenshot& m_hasScreenshot;
    Fd m_dir;
    // A disc set is compared whole, never a file of it alone.
    DiscSets m_sets;
    std::vector<Row> m_rows;
    std::vector<std::vector<int>> m_groups;
    std::vector<char> m_split;
    std::vector<std::vector<int>> m_classes;
    std::set<FileId> m_pinned;  // files that must stay: kept ones and their descriptors
    std::set<FileId> m_gone;    // entries removed (or that would be, in a dry run)
    std::unique_ptr<std::uint8_t[]> m_buffers[2];
    Crc32 m_crc;
    DuplicateSearchResult m_result;
};

std::uint8_t* Search::buffer(int which) {
    if (!m_buffers[which]) m_buffers[which] = std::make_unique<std::uint8_t[]>(kBlock);
    return m_buffers[which].get();
}

// Opens the row's file only while it is still what was sized; a row found changed leaves
// the run, as what was learnt of it no longer holds.
int Search::openRow(int row) {
    if (stopped()) return -1;
    Fd fd(::openat(m_dir.get(), raw(row).constData(),
                   O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid() || !unchanged(row, fd.get())) return -1;
    return fd.release();
}

bool Search::unchanged(int row, int fd) {
    struct stat st;
    if (::fstat(fd, &st) == 0 && Stamp::of(st) == m_rows[size_t(row)].stamp) return true;
    m_rows[size_t(row)].done = true;
    return false;
}

// Whether the row's directory entry is still the file that was read, as it was.
bool Search::confirm(int row) const {
    struct stat st;
    return ::fstatat(m_dir.get(), raw(row).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(st.st_mode) && Stamp::of(st) == m_rows[size_t(row)].stamp;
}

std::optional<struct stat> Search::entry(const QString& path) const {
    struct stat st;
    if (::lstat(platform::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return st;
}

void Search::sizes() {
    const int count = int(m_names.size());
    m_rows.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        struct stat st;
        // Links are left alone: one costs no space, and keeping a link in place of the
        // file would leave nothing behind once the link's target goes.
        if (!inSet(i) &&
            ::fstatat(m_dir.get(), raw(i).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISREG(st.st_mode)) {
                m_rows[size_t(i)].size = st.st_size;
                m_rows[size_t(i)].stamp = Stamp::of(st);
            } else if (S_ISLNK(st.st_mode) &&
                       ::fstatat(m_dir.get(), raw(i).constData(), &st, 0) == 0) {
                // The file a listed link shows stays, or the link would show nothing.
                m_pinned.insert(idOf(st));
            }
        }
        if (stopped() || (m_hooks.sized && !m_hooks.sized(i + 1, count))) {
            m_result.stopped = true;
            return;
        }
    }
}

void Search::groupBySize() {
    std::vector<int> order;
    order.reserve(m_rows.size());
    for (int i = 0; i < int(m_rows.size()); ++i)
        if (m_rows[size_t(i)].size >= 0) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return m_rows[size_t(a)].size < m_rows[size_t(b)].size; });
    for (size_t s = 0; s < order.size();) {
        size_t e = s + 1;
        while (e < order.size() && m_rows[size_t(order[e])].size == m_rows[size_t(order[s])].size)
            ++e;
        if (e - s >= 2) {
            const int g = int(m_groups.size());
            m_groups.emplace_back(order.begin() + qsizetype(s), order.begin() + qsizetype(e));
            for (size_t k = s; k < e; ++k)
                m_rows[size_t(order[k])].group = g;
        }
        s = e;
    }
    m_split.assign(m_groups.size(), 0);
}

void Search::addClass(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    const int c = int(m_classes.size());
    for (int r : rows)
        m_rows[size_t(r)].cls = c;
    m_classes.push_back(std::move(rows));
}

// Narrows one size group into classes of rows that may be equal. Reads nothing for a
// pair: comparing the two directly costs no more than hashing both.
bool Search::split(int group) {
    std::vector<int> rows = std::move(m_groups[size_t(group)]);
    m_groups[size_t(group)] = {};
    if (rows.size() == 2) {
        addClass(std::move(rows));
        return true;
    }
    const bool small = m_rows[size_t(rows.front())].size <= kFirstBlock;
    using Keyed = std::pair<std::uint32_t, int>;
    auto byKey = [](std::vector<Keyed>& keyed, auto&& onRun) {
        std::sort(keyed.begin(), keyed.end());
        for (size_t s = 0; s < keyed.size();) {
            size_t e = s + 1;
            while (e < keyed.size() && keyed[e].first == keyed[s].first)
                ++e;
            if (e - s >= 2) {
                std::vector<int> run;
                for (size_t k = s; k < e; ++k)
                    run.push_back(keyed[k].second);
                if (!onRun(std::move(run))) return false;
            }
            s = e;
        }
        return true;
    };
    std::vector<Keyed> first;
    for (int r : rows) {
        if (const auto crc = firstBlockCrc(r)) first.emplace_back(*crc, r);
        if (!keepGoing()) return false;
    }
    return byKey(first, [&](std::vector<int> run) {
        if (small || run.size() == 2) {
            addClass(std::move(run));
            return true;
        }
        std::vector<Keyed> whole;
        for (int r : run) {
            if (const auto crc = fileCrc(r)) whole.emplace_back(*crc, r);
            if (!keepGoing()) return false;
        }
        return byKey(whole, [&](std::vector<int> same) {
            addClass(std::move(same));
            return true;
        });
    });
}

std::optional<std::uint32_t> Search::firstBlockCrc(int row) {
    const Fd fd(openRow(row));
    if (!fd.valid()) return std::nullopt;
    std::uint8_t* b = buffer(0);
    const ssize_t got = readFull(fd.get(), b, size_t(kFirstBlock));
    if (got < 0) return std::nullopt;
    return std::uint32_t(m_crc.calculateBytes({b, size_t(got)}).number());
}

std::optional<std::uint32_t> Search::fileCrc(int row) {
    const Fd fd(openRow(row));
    if (!fd.valid()) return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::uint8_t* b = buffer(0);
    m_crc.clear();
    for (;;) {
        const ssize_t got = readFull(fd.get(), b, kBlock);
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        m_crc.addBytes({b, size_t(got)});
        if (size_t(got) < kBlock) break;
        if (stopped()) return std::nullopt;
    }
    return std::uint32_t(m_crc.value().number());
}

bool Search::sameBytes(int kept, int copy) {
    const Fd a(openRow(kept));
    const Fd b(a.valid() ? openRow(copy) : -1);
    if (!a.valid() || !b.valid()) return false;
    ::posix_fadvise(a.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    ::posix_fadvise(b.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::uint8_t* x = buffer(0);
    std::uint8_t* y = buffer(1);
    for (;;) {
        const ssize_t gx = readFull(a.get(), x, kBlock);
        const ssize_t gy = readFull(b.get(), y, kBlock);
        if (gx < 0 || gy < 0 || gx != gy) return false;
        if (gx > 0 && std::memcmp(x, y, size_t(gx)) != 0) return false;
        if (size_t(gx) < kBlock) break;
        if (stopped()) return false;
    }
    // Written to while being read: what was compared is not what is there.
    return unchanged(kept, a.get()) && unchanged(copy, b.get());
}

bool Search::live(int row) const {
    const Row& r = m_rows[size_t(row)];
    return !r.done && r.size >= 0 && !m_gone.count(r.stamp.id);
}

bool Search::hasShot(int row) {
    Row& r = m_rows[size_t(row)];
    if (r.shot < 0) r.shot = m_hasScreenshot && m_hasScreenshot(m_names.at(row)) ? 1 : 0;
    return r.shot == 1;
}

// Whether `a` rather than `b` should stay of two equal files.
bool Search::better(int a, int b) {
    if (hasShot(a) != hasShot(b)) return hasShot(a);
    const bool goodA = isGoodDump(m_names.at(a)), goodB = isGoodDump(m_names.at(b));
    if (goodA != goodB) return goodA;
    return a < b;
}

Rule Search::ruleFor(int kept, int copy) {
    if (hasShot(kept) && !hasShot(copy)) return Rule::Screenshot;
    if (isGoodDump(m_names.at(kept)) && !isGoodDump(m_names.at(copy))) return Rule::GoodDump;
    return Rule::ListOrder;
}

// Whether the ".jad" at `jadPath` is the descriptor of a game in the folder.
bool Search::belongsToJar(const QString& jadPath) {
    const auto jar = m_files.resolve(withExtension(jadPath, QStringLiteral(".jar")));
    if (!jar) return false;
    const auto jad = jadTwinOf(m_files, *jar);
    const auto a = entry(jadPath);
    const auto b = jad ? entry(*jad) : std::nullopt;
    return a && b && idOf(*a) == idOf(*b);
}

// The kept file and, for a game, its descriptor stay whatever comes later in the run.
void Search::keep(int kept) {
    m_pinned.insert(m_rows[size_t(kept)].stamp.id);
    if (!isJar(m_names.at(kept))) return;
    if (const auto jad = jadTwinOf(m_files, path(kept)))
        if (const auto st = entry(*jad)) m_pinned.insert(idOf(*st));
}

// Whether `copy` went (or would, in a dry run).
bool Search::removeCopy(int kept, int copy) {
    const Row& c = m_rows[size_t(copy)];
    if (c.stamp.id == m_rows[size_t(kept)].stamp.id || m_pinned.count(c.stamp.id)) return false;
    if (hasShot(copy)) return false;
    const QString copyPath = path(copy);
    // A descriptor goes only with its game, below.
    if (isJad(copyPath) && belongsToJar(copyPath)) return false;

    std::optional<QString> jad;
    FileId jadId;
    if (isJar(copyPath)) {
        jad = jadTwinOf(m_files, copyPath);
        if (jad) {
            const auto st = entry(*jad);
            if (!st) {
                jad.reset();  // gone meanwhile
            } else {
                // Without its descriptor the game would be half gone: both stay.
                if (!S_ISREG(st->st_mode) || m_pinned.count(idOf(*st))) return false;
                jadId = idOf(*st);
            }
        }
    }

    DuplicateSearchResult::Copy done{copy, kept, ruleFor(kept, copy), copyPath, {}, {}};
    if (m_remover) {
        // Only the very bytes compared go, and only while the kept copy still holds them.
        if (!confirm(copy) || !confirm(kept) || stopped()) return false;
        if (!m_remover->remove(copyPath)) {
            m_result.failures.push_back({copyPath, m_remover->lastError()});
            return false;
        }
        if (jad) {
            const auto st = entry(*jad);
            if (st && S_ISREG(st->st_mode) && idOf(*st) == jadId && !m_pinned.count(jadId)) {
                if (m_remover->remove(*jad))
                    done.twin = *jad;
                else
                    m_result.failures.push_back({*jad, m_remover->lastError()});
            }
        }
    } else if (jad) {
        done.twin = *jad;
    }

    m_gone.insert(c.stamp.id);
    if (!done.twin.isEmpty()) m_gone.insert(jadId);
    m_result.report += duplicateReportLines(done, m_names);
    m_result.copies.push_back(std::move(done));
    if (m_hooks.found) m_hooks.found(copy, kept, m_result.filesRemoved());
    return true;
}

DuplicateSearchResult Search::run() {
    if (!m_dir.valid()) return {};
    sizes();
    if (m_result.stopped) return std::move(m_result);
    if (m_hooks.comparing) m_hooks.comparing();
    groupBySize();
    for (int i = 0; i < int(m_rows.size()); ++i) {
        if (!live(i) || m_rows[size_t(i)].group < 0) continue;
        const int group = m_rows[size_t(i)].group;
        if (!m_split[size_t(group)]) {
            m_split[size_t(group)] = 1;
            if (!split(group)) {
                m_result.stopped = true;
                break;
            }
        }
        const int cls = m_rows[size_t(i)].cls;
        if (cls < 0 || !live(i)) continue;
        // Rows before this one were compared with it already, as rows of their own.
        const std::vector<int>& members = m_classes[size_t(cls)];
        const auto after = std::upper_bound(members.begin(), members.end(), i);
        if (std::none_of(after, members.end(), [&](int j) { return live(j); })) continue;
        if (stopped() || (m_hooks.examining && !m_hooks.examining(i))) {
            m_result.stopped = true;
            break;
        }
        std::vector<int> equal{i};
        // From the end of the list back, as the rows of a refreshed list shift only
        // below a removed one.
        for (auto it = members.end(); it != after;) {
            const int j = *--it;
            if (!live(j)) continue;
            // Another name of the same file is equal without reading it.
            if (m_rows[size_t(j)].stamp.id == m_rows[size_t(i)].stamp.id) {
                equal.push_back(j);
                continue;
            }
            const bool same = sameBytes(i, j);
            if (!keepGoing()) {
                m_result.stopped = true;
                return std::move(m_result);
            }
            if (same) equal.push_back(j);
        }
        m_rows[size_t(i)].done = true;
        if (equal.size() < 2) continue;
        int kept = i;
        for (int j : equal) {
            m_rows[size_t(j)].done = true;
            if (better(j, kept)) kept = j;
        }
        keep(kept);
        // `equal` runs from the end of the list back after its first row.
        std::vector<int> order(equal.begin() + 1, equal.end());
        order.push_back(i);
        for (int j : order) {
            if (stopped()) {
                m_result.stopped = true;
                return std::move(m_result);
            }
            if (j == kept || !removeCopy(kept, j)) continue;
            // The window may close after a removal.
            if (!keepGoing()) {
                m_result.stopped = true;
                return std::move(m_result);
            }
        }
    }
    if (!compareSets()) m_result.stopped = true;
    return std::move(m_result);
}

bool Search::inSet(int row) const {
    const QString& name = m_names.at(row);
    return m_sets.setOf(name) || m_sets.isMember(name);
}

// The sets among the rows, each compared whole with the sets after it; the better one of
// equal sets stays (as of single files), the others go whole or stay whole.
bool Search::compareSets() {
    std::vector<int> tops;
    for (int i = 0; i < int(m_names.size()); ++i)
        if (m_sets.setOf(m_names.at(i))) tops.push_back(i);
    std::vector<char> settled(tops.size(), 0);
    for (size_t a = 0; a < tops.size(); ++a) {
        if (settled[a]) continue;
        const DiscSet& first = *m_sets.setOf(m_names.at(tops[a]));
        std::vector<size_t> equal{a};
        for (size_t b = a + 1; b < tops.size(); ++b) {
            if (settled[b]) continue;
            if (sameDiscSets(m_folder, first, *m_sets.setOf(m_names.at(tops[b])), m_hooks.stop))
                equal.push_back(b);
            if (!keepGoing()) return false;
        }
        if (equal.size() < 2) continue;
        int kept = tops[a];
        for (size_t b : equal) {
            settled[b] = 1;
            if (better(tops[b], kept)) kept = tops[b];
        }
        for (size_t b : equal) {
            if (tops[b] == kept || !removeSetCopy(kept, tops[b])) continue;
            if (!keepGoing()) return false;
        }
    }
    return true;
}

bool Search::removeSetCopy(int kept, int copy) {
    if (hasShot(copy) || stopped()) return false;
    const DiscSet& set = *m_sets.setOf(m_names.at(copy));
    DuplicateSearchResult::Copy done{copy, kept, ruleFor(kept, copy), path(copy), {}, {}};
    for (const QString& member : set.members)
        done.members.append(m_folder + member);
    if (m_remover) {
        // Compared again just before: only the very bytes compared go.
        if (!sameDiscSets(m_folder, *m_sets.setOf(m_names.at(kept)), set, m_hooks.stop))
            return false;
        QString why;
        if (!trashDiscSet(*m_remover, m_folder, set, &why)) {
            m_result.failures.push_back({path(copy), why});
            return false;
        }
    }
    m_result.report += duplicateReportLines(done, m_names);
    m_result.copies.push_back(std::move(done));
    if (m_hooks.found) m_hooks.found(copy, kept, m_result.filesRemoved());
    return true;
}

}  // namespace

DuplicateSearchResult findDuplicates(const QString& folder, const QStringList& names,
                                     platform::FileOperations& files, DuplicateMode mode,
                                     const DuplicateSearchHooks& hooks,
                                     const HasScreenshot& hasScreenshot) {
    Search search(folder, names, files, mode, hooks, hasScreenshot);
    return search.run();
}
