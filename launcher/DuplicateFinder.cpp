#include "launcher/DuplicateFinder.h"

#include "checksum/clsCRC.h"
#include "launcher/FileRenaming.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Most ROMs of one size differ within their first block (headers, titles); only the
// rest needs a whole-file pass.
constexpr qint64 kFirstBlock = 4096;
constexpr size_t kBlock = size_t{256} << 10;

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

FileId idOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

struct Row {
    qint64 size = -1;  // -1: not a regular file that could be looked at
    FileId id;
    int group = -1;  // rows of one size, when that size repeats
    int cls = -1;    // rows that may be equal: same size, same first block, same CRC
    bool removed = false;
};

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

class Search {
public:
    Search(const QString& folder, const QStringList& names, platform::FileOperations* remover,
           const DuplicateSearchHooks& hooks)
        : m_folder(folder),
          m_names(names),
          m_remover(remover),
          m_hooks(hooks),
          m_dir(::open(platform::encodeName(folder).constData(),
                       O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}

    DuplicateSearchResult run();

private:
    QByteArray raw(int row) const { return platform::encodeName(m_names.at(row)); }
    int openRow(int row) const {
        return ::openat(m_dir.get(), raw(row).constData(), O_RDONLY | O_CLOEXEC);
    }
    bool keepGoing() { return !m_hooks.keepGoing || m_hooks.keepGoing(); }
    void sizes();
    void groupBySize();
    bool split(int group);
    void addClass(std::vector<int> rows);
    std::optional<std::uint32_t> firstBlockCrc(int row);
    std::optional<std::uint32_t> fileCrc(int row);
    bool sameBytes(int kept, int copy, FileId* copyId);
    void removeCopy(int kept, int copy, const FileId& copyId);
    std::uint8_t* buffer(int which);

    QString m_folder;
    const QStringList& m_names;
    platform::FileOperations* m_remover;
    const DuplicateSearchHooks& m_hooks;
    Fd m_dir;
    std::vector<Row> m_rows;
    std::vector<std::vector<int>> m_groups;
    std::vector<char> m_split;
    std::vector<std::vector<int>> m_classes;
    std::unique_ptr<std::uint8_t[]> m_buffers[2];
    clsCRC m_crc;
    DuplicateSearchResult m_result;
};

std::uint8_t* Search::buffer(int which) {
    if (!m_buffers[which]) m_buffers[which] = std::make_unique<std::uint8_t[]>(kBlock);
    return m_buffers[which].get();
}

void Search::sizes() {
    const int count = int(m_names.size());
    m_rows.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        struct stat st;
        // Links are followed: a link is compared by what it points to, and its target's
        // identity tells it apart from the file itself.
        if (::fstatat(m_dir.get(), raw(i).constData(), &st, 0) == 0 && S_ISREG(st.st_mode)) {
            m_rows[size_t(i)].size = st.st_size;
            m_rows[size_t(i)].id = idOf(st);
        }
        if (m_hooks.sized && !m_hooks.sized(i + 1, count)) {
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
    return std::uint32_t(m_crc.CalculateBytes({b, size_t(got)}).number());
}

std::optional<std::uint32_t> Search::fileCrc(int row) {
    const Fd fd(openRow(row));
    if (!fd.valid()) return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::uint8_t* b = buffer(0);
    m_crc.Clear();
    for (;;) {
        const ssize_t got = readFull(fd.get(), b, kBlock);
        if (got < 0) return std::nullopt;
        if (got == 0) break;
        m_crc.AddBytes({b, size_t(got)});
        if (size_t(got) < kBlock) break;
    }
    return std::uint32_t(m_crc.value().number());
}

bool Search::sameBytes(int kept, int copy, FileId* copyId) {
    const Fd a(openRow(kept)), b(openRow(copy));
    struct stat sa, sb;
    if (!a.valid() || !b.valid() || ::fstat(a.get(), &sa) != 0 || ::fstat(b.get(), &sb) != 0)
        return false;
    // Both names reach one file: removing either would take the other with it.
    if (idOf(sa) == idOf(sb) || sa.st_size != sb.st_size) return false;
    *copyId = idOf(sb);
    ::posix_fadvise(a.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    ::posix_fadvise(b.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::uint8_t* x = buffer(0);
    std::uint8_t* y = buffer(1);
    for (;;) {
        const ssize_t gx = readFull(a.get(), x, kBlock);
        const ssize_t gy = readFull(b.get(), y, kBlock);
        if (gx < 0 || gy < 0 || gx != gy) return false;
        if (gx == 0) return true;
        if (std::memcmp(x, y, size_t(gx)) != 0) return false;
        if (size_t(gx) < kBlock) return true;
    }
}

void Search::removeCopy(int kept, int copy, const FileId& copyId) {
    const QString path = m_folder + m_names.at(copy);
    if (m_remover) {
        // Only the file just compared goes: not one that took its name since.
        struct stat st;
        if (::fstatat(m_dir.get(), raw(copy).constData(), &st, 0) != 0 || idOf(st) != copyId)
            return;
        const auto jad = JadTwinOf(*m_remover, path);
        const auto keptJad = JadTwinOf(*m_remover, m_folder + m_names.at(kept));
        if (!m_remover->remove(path)) return;
        if (jad) {
            struct stat a, b;
            const bool shared =
                keptJad && ::stat(platform::encodeName(*jad).constData(), &a) == 0 &&
                ::stat(platform::encodeName(*keptJad).constData(), &b) == 0 && idOf(a) == idOf(b);
            if (!shared) m_remover->remove(*jad);
        }
    }
    m_rows[size_t(copy)].removed = true;
    m_result.copies.push_back({copy, kept});
    m_result.report += path + QStringLiteral(" -> ") + m_names.at(kept) + QLatin1Char('\n');
    if (m_hooks.found) m_hooks.found(copy, kept, int(m_result.copies.size()));
}

DuplicateSearchResult Search::run() {
    if (!m_dir.valid()) return {};
    sizes();
    if (m_result.stopped) return std::move(m_result);
    if (m_hooks.comparing) m_hooks.comparing();
    groupBySize();
    for (int i = 0; i < int(m_rows.size()); ++i) {
        const Row& row = m_rows[size_t(i)];
        if (row.removed || row.group < 0) continue;
        if (!m_split[size_t(row.group)]) {
            m_split[size_t(row.group)] = 1;
            if (!split(row.group)) {
                m_result.stopped = true;
                break;
            }
        }
        if (row.cls < 0) continue;
        const std::vector<int>& members = m_classes[size_t(row.cls)];
        const auto after = std::upper_bound(members.begin(), members.end(), i);
        const bool any = std::any_of(after, members.end(), [&](int j) {
            return !m_rows[size_t(j)].removed && !(m_rows[size_t(j)].id == row.id);
        });
        if (!any) continue;
        if (m_hooks.examining && !m_hooks.examining(i)) {
            m_result.stopped = true;
            break;
        }
        // From the end of the list back, as the rows of a refreshed list shift only
        // below a removed one.
        for (auto it = members.end(); it != after;) {
            const int j = *--it;
            if (m_rows[size_t(j)].removed || m_rows[size_t(j)].id == row.id) continue;
            FileId copyId;
            const bool same = sameBytes(i, j, &copyId);
            if (!keepGoing()) {
                m_result.stopped = true;
                return std::move(m_result);
            }
            if (same) removeCopy(i, j, copyId);
        }
    }
    return std::move(m_result);
}

}  // namespace

DuplicateSearchResult FindDuplicates(const QString& folder, const QStringList& names,
                                     platform::FileOperations* remover,
                                     const DuplicateSearchHooks& hooks) {
    Search search(folder, names, remover, hooks);
    return search.run();
}
