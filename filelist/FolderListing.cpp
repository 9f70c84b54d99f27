#include "filelist/FolderListing.h"

#include "platform/FileNames.h"

#include <QFile>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // Opened by its bytes, so a folder whose name is not UTF-8 still has its list read.
    const QByteArray encoded = platform::encodeName(path + QStringLiteral(".hidden"));
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    QStringList names;
    for (QByteArray line : f.readAll().split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) names.append(platform::decodeName(line));
    }
    return names;
}

std::vector<QString> ListFolder(const QString& folder, const QStringList& masks,
                                const FolderListingOptions& options) {
    std::vector<QString> out;
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

    struct Entry {
        QString name;
        QString folded;
        unsigned char type;
    };
    std::vector<Entry> entries;
    entries.reserve(1024);
    while (const dirent* e = readdir(dir.get())) {
        const char* raw = e->d_name;
        if (raw[0] == '.' && (raw[1] == '\0' || (raw[1] == '.' && raw[2] == '\0'))) continue;
        if (e->d_type == DT_DIR) continue;
        if (raw[0] == '.' && !options.hidden) continue;
        QString name = platform::decodeName(QByteArray::fromRawData(raw, qstrlen(raw)));
        if (!hiddenNames.isEmpty() && hiddenNames.contains(name)) continue;
        QString folded = platform::foldName(name);
        entries.push_back({std::move(name), std::move(folded), e->d_type});
    }

    // Entries whose type the folder did not tell (links, some file systems) are looked at
    // only when a mask wants them; -1 unknown, 0 folder, 1 file.
    std::vector<signed char> isFile(entries.size(), -1);
    const int fd = dirfd(dir.get());
    auto fileAt = [&](size_t i) {
        if (isFile[i] < 0) {
            const unsigned char t = entries[i].type;
            if (t != DT_LNK && t != DT_UNKNOWN) {
                isFile[i] = 1;
            } else {
                struct stat st {};
                const QByteArray enc = platform::encodeName(entries[i].name);
                // A dangling link is still a name in the folder; it lists like a file.
                isFile[i] =
                    fstatat(fd, enc.constData(), &st, 0) == 0 && S_ISDIR(st.st_mode) ? 0 : 1;
            }
        }
        return isFile[i] == 1;
    };

    for (const WildcardMask& mask : compiled) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (mask.matches(entries[i].folded) && fileAt(i)) out.push_back(entries[i].name);
        }
    }
    return out;
}
