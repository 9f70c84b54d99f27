#include "filelist/FolderListing.h"

#include "platform/FileNames.h"

#include <QSet>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

bool hasWildcard(QStringView s) {
    return s.contains(u'*') || s.contains(u'?');
}

// Classic backtracking glob over UTF-16 units; a "?" takes one unit, so a character
// outside the BMP counts as two, which no mask of ours depends on.
bool globMatch(QStringView mask, QStringView name) {
    qsizetype m = 0, n = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == u'?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

}  // namespace

WildcardMask::WildcardMask(const QString& mask) : m_folded(platform::foldName(mask)) {
    if (m_folded == u"*" || m_folded == u"*.*") {
        m_kind = Kind::Everything;
    } else if (m_folded.startsWith(u'*') && !hasWildcard(QStringView(m_folded).mid(1))) {
        m_kind = Kind::Suffix;
        m_folded.remove(0, 1);
    }
}

bool WildcardMask::matches(QStringView foldedName) const {
    switch (m_kind) {
        case Kind::Everything:
            return true;
        case Kind::Suffix:
            return foldedName.endsWith(m_folded);
        case Kind::General:
            break;
    }
    return globMatch(m_folded, foldedName);
}

QStringList ReadHiddenList(const QString& folder) {
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

}  // namespace

int CompareNamesIgnoringCase(QStringView a, QStringView b) {
    // Unit by unit through the upper case, as the file system the ROM sets come from keeps
    // its folders: "_" after the letters, accented capitals after "Z", escaped bytes (lone
    // surrogates) by their value. No allocation, since this runs n log n times per listing.
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x == y) continue;
        x = x < 0x80 ? (x >= u'a' && x <= u'z' ? char16_t(x - 32) : x)
                     : (QChar::isSurrogate(x) ? x : char16_t(QChar::toUpper(char32_t(x))));
        y = y < 0x80 ? (y >= u'a' && y <= u'z' ? char16_t(y - 32) : y)
                     : (QChar::isSurrogate(y) ? y : char16_t(QChar::toUpper(char32_t(y))));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    // Names that differ only in letter case can both exist here; keep their order fixed.
    return a.compare(b);
}

std::vector<ListedFile> ListFolder(const QString& folder, const QStringList& masks,
                                   const FolderListingOptions& options) {
    std::vector<ListedFile> out;
    if (masks.isEmpty()) return out;
    struct DirCloser {
        void operator()(DIR* d) const { closedir(d); }
    };
    const QByteArray encodedFolder = platform::encodeName(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(encodedFolder.constData()));
    if (!dir) return out;

    QSet<QString> hiddenNames;
    if (!options.hidden) {
        const QStringList listed = ReadHiddenList(folder);
        hiddenNames = QSet<QString>(listed.begin(), listed.end());
    }

    std::vector<WildcardMask> compiled;
    compiled.reserve(masks.size());
    for (const QString& m : masks)
        compiled.emplace_back(m);
    const size_t maskCount = compiled.size();

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
        if (!hiddenNames.isEmpty() && hiddenNames.contains(name)) continue;
        foldInto(name, folded);
        const size_t base = matched.size();
        bool any = false;
        for (const WildcardMask& mask : compiled) {
            const bool hit = mask.matches(folded);
            matched.push_back(hit);
            any = any || hit;
        }
        ListedFile f;
        struct stat st {};
        if (any && fstatat(fd, raw, &st, 0) == 0) {
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

    std::vector<uint32_t> order(files.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&files](uint32_t a, uint32_t b) {
        return CompareNamesIgnoringCase(files[a].name, files[b].name) < 0;
    });
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
