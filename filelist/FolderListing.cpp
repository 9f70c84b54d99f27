#include "filelist/FolderListing.h"

#include "platform/FileNames.h"

#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>

std::optional<bool> matchesByTail(const platform::Wildcard& mask, const NameTail& tail) {
    if (!mask.valid()) return false;
    if (mask.matchesEverything()) return true;
    const QStringView suffix = mask.suffix();
    if (suffix.isEmpty() || !tail.plain || suffix.size() > NameTail::kUnits) return std::nullopt;
    // The tail holds the whole of a name shorter than the suffix.
    if (suffix.size() > tail.count) return false;
    const char16_t* end = tail.units + NameTail::kUnits;
    return std::equal(suffix.utf16(), suffix.utf16() + suffix.size(), end - suffix.size());
}

NameTail tailOf(QStringView name) {
    NameTail tail;
    tail.dot = name.startsWith(u'.');
    tail.plain = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!tail.plain) return tail;
    const qsizetype count = std::min<qsizetype>(name.size(), NameTail::kUnits);
    tail.count = static_cast<quint8>(count);
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t c = name[name.size() - count + i].unicode();
        tail.units[NameTail::kUnits - count + i] = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    }
    return tail;
}

QStringList readHiddenList(const QString& folder) {
    QString path = folder;
    if (!path.endsWith(u'/')) path += u'/';
    // Opened by its bytes, so a folder whose name is not UTF-8 still has its list read; only
    // a regular file, and only its first part (a list never grows near that by hiding).
    bool cut = false;
    std::optional<QByteArray> bytes =
        platform::readRegularFile(path + QStringLiteral(".hidden"), kHiddenListMaxBytes, &cut);
    if (!bytes) return {};
    // What lies past the limit counts as absent, the line it cuts through included.
    if (cut) bytes->truncate(bytes->lastIndexOf('\n') + 1);
    QStringList names;
    for (QByteArray line : bytes->split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) names.append(platform::decodeName(line));
    }
    return names;
}

namespace {

// The folded name for the masks, into a buffer kept between entries: plain ASCII (nearly
// every ROM name) is lowered in place without an allocation.
void foldInto(const QString& name, QString& out) {
    const qsizetype n = name.size();
    out.resize(n);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = name.at(i).unicode();
        if (c >= 0x80) {
            out = platform::foldName(name);
            return;
        }
        dst[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
    }
}

// The unit compareNamesIgnoringCase compares a name's unit `x` as.
char16_t upperUnit(char16_t x) {
    if (x < 0x80) return x >= u'a' && x <= u'z' ? char16_t(x - 32) : x;
    return QChar::isSurrogate(x) ? x : char16_t(QChar::toUpper(char32_t(x)));
}

}  // namespace

int compareNamesIgnoringCase(QStringView a, QStringView b) {
    // Unit by unit through the upper case, as the file system the ROM sets come from keeps
    // its folders: "_" after the letters, accented capitals after "Z", escaped bytes (lone
    // surrogates) by their value. The listing sorts by keys that give this same order.
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x == y) continue;
        x = upperUnit(x);
        y = upperUnit(y);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    // Names that differ only in letter case can both exist here; keep their order fixed.
    return a.compare(b);
}

namespace {

// A name's compared units as bytes whose plain byte order is compareNamesIgnoringCase's
// order: an ASCII unit as itself, any other as three bytes from 0x80 up, so no unit's bytes
// begin another's and a name that is a prefix of another still comes first.
struct NameKey {
    quint64 chunk;  // eight key bytes from the depth being sorted, big-endian, zero-padded
    uint32_t offset;
    uint32_t length;
    uint32_t index;
};

void loadChunks(std::vector<NameKey>::iterator begin, std::vector<NameKey>::iterator end,
                const unsigned char* bytes, uint32_t depth) {
    for (auto k = begin; k != end; ++k) {
        quint64 chunk = 0;
        for (uint32_t b = depth; b < depth + 8; ++b)
            chunk = (chunk << 8) | (b < k->length ? bytes[k->offset + b] : 0);
        k->chunk = chunk;
    }
}

// Sorts keys whose first `depth` bytes are equal by their next eight, then each run of equal
// chunks by the eight after: names sharing a long beginning ("Game 00001", "Game 00002"...)
// cost a few integer sorts instead of n log n walks through that beginning. A name has no
// zero unit and every unit's bytes start non-zero, so the zeros after a key's end sort it
// before the keys it begins, and equal chunks past every key's end mean equal keys, which
// only the exact units order.
template <typename NameOf>
void sortKeys(std::vector<NameKey>::iterator begin, std::vector<NameKey>::iterator end,
              const unsigned char* bytes, uint32_t depth, const NameOf& nameOf) {
    loadChunks(begin, end, bytes, depth);
    std::sort(begin, end, [](const NameKey& a, const NameKey& b) { return a.chunk < b.chunk; });
    for (auto run = begin; run != end;) {
        auto runEnd = run + 1;
        while (runEnd != end && runEnd->chunk == run->chunk)
            ++runEnd;
        if (runEnd - run > 1) {
            // A key ending right at this chunk's end reads as all zeros at the next depth,
            // before any longer key.
            const bool longer = std::any_of(
                run, runEnd, [depth](const NameKey& k) { return k.length > depth + 8; });
            if (longer) {
                sortKeys(run, runEnd, bytes, depth + 8, nameOf);
            } else {
                // Names equal but for letter case, by their exact units.
                std::sort(run, runEnd, [&nameOf](const NameKey& a, const NameKey& b) {
                    return nameOf(a.index).compare(nameOf(b.index)) < 0;
                });
            }
        }
        run = runEnd;
    }
}

// The listed names in compareNamesIgnoringCase's order, from keys written once into one
// shared buffer: no case mapping n log n times, no allocation per name.
template <typename NameOf>
std::vector<uint32_t> nameOrder(size_t count, const NameOf& nameOf) {
    std::vector<unsigned char> bytes;
    size_t units = 0;
    for (size_t i = 0; i < count; ++i)
        units += static_cast<size_t>(nameOf(i).size());
    bytes.reserve(units + units / 8);
    std::vector<NameKey> keys(count);
    for (uint32_t i = 0; i < keys.size(); ++i) {
        const size_t offset = bytes.size();
        for (const QChar c : nameOf(i)) {
            const char16_t u = upperUnit(c.unicode());
            if (u < 0x80) {
                bytes.push_back(static_cast<unsigned char>(u));
            } else {
                bytes.push_back(static_cast<unsigned char>(0x80 | (u >> 12)));
                bytes.push_back(static_cast<unsigned char>((u >> 6) & 0x3F));
                bytes.push_back(static_cast<unsigned char>(u & 0x3F));
            }
        }
        keys[i] = NameKey{0, static_cast<uint32_t>(offset),
                          static_cast<uint32_t>(bytes.size() - offset), i};
    }
    sortKeys(keys.begin(), keys.end(), bytes.data(), 0, nameOf);
    std::vector<uint32_t> order(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        order[i] = keys[i].index;
    return order;
}

// The files read ahead that `masks` take, mask by mask, each mask's in name order; the
// names are moved out as they are taken.
std::vector<ListedFile> fromPrelisted(PrelistedFiles& prelisted,
                                      const std::vector<platform::Wildcard>& masks,
                                      const QSet<QString>& hiddenNames, bool withDotNames,
                                      int* hiddenByList) {
    const size_t n = std::min(prelisted.files.size(), prelisted.tails.size());
    const size_t maskCount = masks.size();
    // Most names are matched by their tails; a mask or name the tail cannot answer for
    // reads the name.
    std::vector<char> matched(n * maskCount);
    size_t taken = 0;
    QString folded;
    for (size_t i = 0; i < n; ++i) {
        const NameTail& tail = prelisted.tails[i];
        if (tail.dot && !withDotNames) continue;
        const QString& name = prelisted.files[i].name;
        const bool hidden = !hiddenNames.isEmpty() && hiddenNames.contains(name);
        bool isFolded = false, any = false;
        for (size_t m = 0; m < maskCount; ++m) {
            std::optional<bool> hit = matchesByTail(masks[m], tail);
            if (!hit) {
                if (!isFolded) foldInto(name, folded);
                isFolded = true;
                hit = masks[m].matches(folded);
            }
            any = any || *hit;
            if (hidden) continue;
            matched[i * maskCount + m] = *hit;
            taken += *hit ? 1 : 0;
        }
        if (hidden && any && hiddenByList) ++*hiddenByList;
    }
    std::vector<ListedFile> out;
    if (maskCount == 1) {
        // One mask, as most systems have: what it takes moves down in place, so a folder of
        // 100,000 games is not held twice while its list is made.
        out = std::move(prelisted.files);
        size_t kept = 0;
        for (size_t i = 0; i < n; ++i) {
            if (!matched[i]) continue;
            if (kept != i) out[kept] = std::move(out[i]);
            ++kept;
        }
        out.resize(kept);
        prelisted = PrelistedFiles();
        return out;
    }
    out.reserve(taken);
    for (size_t m = 0; m < maskCount; ++m) {
        for (size_t i = 0; i < n; ++i) {
            const char* hits = &matched[i * maskCount];
            if (!hits[m]) continue;
            // The last mask to take a file takes it whole.
            if (std::any_of(hits + m + 1, hits + maskCount, [](char h) { return h != 0; }))
                out.push_back(prelisted.files[i]);
            else
                out.push_back(std::move(prelisted.files[i]));
        }
    }
    prelisted = PrelistedFiles();
    return out;
}

}  // namespace

PrelistedFiles prelist(const QString& folder, const std::vector<platform::FolderEntry>& entries,
                       const std::vector<uint32_t>& order) {
    PrelistedFiles prelisted;
    const QByteArray encodedFolder = platform::encodeName(folder);
    const int fd = ::open(encodedFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return prelisted;
    prelisted.files.reserve(order.size());
    prelisted.tails.reserve(order.size());
    for (const uint32_t i : order) {
        const platform::FolderEntry& e = entries[i];
        ListedFile f;
        f.name = e.name;
        if (e.kind == platform::EntryKind::File) {
            f.looked = false;
        } else {
            // Links, untyped entries and the rest: what they are takes a look, and a folder
            // (or a link to one) is left out. A dangling link is still a name in the folder.
            struct stat st {};
            if (fstatat(fd, platform::encodeName(e.name).constData(), &st, 0) == 0) {
                if (S_ISDIR(st.st_mode)) continue;
                f.readable = true;
                f.size = st.st_size;
                f.modified = st.st_mtim.tv_sec;
            }
        }
        prelisted.tails.push_back(tailOf(f.name));
        prelisted.files.push_back(std::move(f));
    }
    ::close(fd);
    return prelisted;
}

std::vector<uint32_t> nameOrderOf(const std::vector<platform::FolderEntry>& entries) {
    return nameOrder(entries.size(), [&](size_t i) -> const QString& { return entries[i].name; });
}

std::vector<ListedFile> listFolder(const QString& folder, const QStringList& masks,
                                   const FolderListingOptions& options) {
    std::vector<ListedFile> out;
    if (options.hiddenByList) *options.hiddenByList = 0;
    if (masks.isEmpty()) return out;
    struct DirCloser {
        void operator()(DIR* d) const { closedir(d); }
    };
    const QByteArray encodedFolder = platform::encodeName(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(encodedFolder.constData()));
    if (!dir) return out;

    QSet<QString> hiddenNames;
    if (!options.hidden) {
        const QStringList listed = readHiddenList(folder);
        hiddenNames = QSet<QString>(listed.begin(), listed.end());
    }

    std::vector<platform::Wildcard> compiled;
    compiled.reserve(masks.size());
    for (const QString& m : masks)
        compiled.emplace_back(m);
    const size_t maskCount = compiled.size();
    if (options.prelisted && !options.details)
        return fromPrelisted(*options.prelisted, compiled, hiddenNames, options.hidden,
                             options.hiddenByList);

    // One pass over the folder: each name is matched against every mask and, when one
    // wants it, looked at once for its type, length and date. Which masks matched is kept
    // so the result can come mask by mask.
    std::vector<ListedFile> files;
    std::vector<char> matched;  // maskCount flags per file
    files.reserve(1024);
    const int fd = dirfd(dir.get());
    QString folded;
    while (const dirent* e = readdir(dir.get())) {
        const char* raw = e->d_name;
        if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
        if (e->d_type == DT_DIR) continue;
        if (raw[0] == '.' && !options.hidden) continue;
        QString name = platform::decodeName(QByteArray::fromRawData(raw, qstrlen(raw)));
        const bool hidden = !hiddenNames.isEmpty() && hiddenNames.contains(name);
        foldInto(name, folded);
        if (hidden) {
            // Counted by name alone, never looked at: it is not listed.
            if (options.hiddenByList &&
                std::any_of(compiled.begin(), compiled.end(),
                            [&](const platform::Wildcard& mask) { return mask.matches(folded); }))
                ++*options.hiddenByList;
            continue;
        }
        const size_t base = matched.size();
        bool any = false;
        for (const platform::Wildcard& mask : compiled) {
            const bool hit = mask.matches(folded);
            matched.push_back(hit);
            any = any || hit;
        }
        ListedFile f;
        struct stat st {};
        if (any && !options.details && e->d_type == DT_REG) {
            f.looked = false;
        } else if (any && fstatat(fd, raw, &st, 0) == 0) {
            if (S_ISDIR(st.st_mode)) any = false;  // a link to a folder, or an untyped one
            f.readable = true;
            f.size = st.st_size;
            f.modified = st.st_mtim.tv_sec;
        }
        // A dangling link or a file gone meanwhile is still a name in the folder.
        if (!any) {
            matched.resize(base);
            continue;
        }
        f.name = std::move(name);
        files.push_back(std::move(f));
    }

    const std::vector<uint32_t> order =
        nameOrder(files.size(), [&](size_t i) -> const QString& { return files[i].name; });
    out.reserve(files.size());
    if (maskCount == 1) {
        for (uint32_t i : order)
            out.push_back(std::move(files[i]));
        return out;
    }
    for (size_t m = 0; m < maskCount; ++m) {
        for (uint32_t i : order)
            if (matched[i * maskCount + m]) out.push_back(files[i]);
    }
    return out;
}
