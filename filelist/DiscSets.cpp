#include "filelist/DiscSets.h"

#include "platform/FileNames.h"
#include "platform/FolderSnapshot.h"

#include <QFileInfo>

#include <dirent.h>

#include <cstring>

namespace {

// The lines of a text file, CR-LF or LF, without a UTF-8 byte order mark.
QList<QByteArrayView> linesOf(QByteArrayView text) {
    if (text.startsWith("\xEF\xBB\xBF")) text = text.sliced(3);
    QList<QByteArrayView> lines;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        QByteArrayView line = end < 0 ? text : text.first(end);
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        if (line.endsWith('\r')) line.chop(1);
        lines.append(line);
    }
    return lines;
}

QByteArrayView trimmed(QByteArrayView bytes) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
    while (!bytes.isEmpty() && space(bytes.front()))
        bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && space(bytes.back()))
        bytes.chop(1);
    return bytes;
}

// A name as a set file writes it, made a relative path of this system.
QString pathOf(QByteArrayView written) {
    QByteArray bytes = written.toByteArray();
    bytes.replace('\\', '/');
    while (bytes.startsWith("./"))
        bytes.remove(0, 2);
    return platform::decodeName(bytes);
}

// The first word of `rest`, quoted ("a b.bin") or not; `rest` moves past it.
QByteArrayView takeWord(QByteArrayView& rest) {
    rest = trimmed(rest);
    if (rest.startsWith('"')) {
        const qsizetype close = rest.indexOf('"', 1);
        // An unclosed quote runs to the end of the line.
        const QByteArrayView word = close < 0 ? rest.sliced(1) : rest.sliced(1, close - 1);
        rest = close < 0 ? QByteArrayView() : rest.sliced(close + 1);
        return word;
    }
    qsizetype end = 0;
    while (end < rest.size() && rest[end] != ' ' && rest[end] != '\t')
        ++end;
    const QByteArrayView word = rest.first(end);
    rest = rest.sliced(end);
    return word;
}

bool startsWithWord(QByteArrayView line, QByteArrayView word) {
    return line.size() > word.size() &&
           line.first(word.size()).compare(word, Qt::CaseInsensitive) == 0 &&
           (line[word.size()] == ' ' || line[word.size()] == '\t');
}

enum class SetKind { None, Cue, Gdi, M3u };

SetKind kindOf(const QString& name) {
    if (name.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive)) return SetKind::Cue;
    if (name.endsWith(QLatin1String(".gdi"), Qt::CaseInsensitive)) return SetKind::Gdi;
    if (name.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive)) return SetKind::M3u;
    return SetKind::None;
}

QStringList namedBy(SetKind kind, QByteArrayView bytes) {
    switch (kind) {
        case SetKind::Cue:
            return cueFiles(bytes);
        case SetKind::Gdi:
            return gdiFiles(bytes);
        case SetKind::M3u:
            return m3uFiles(bytes);
        case SetKind::None:
            break;
    }
    return {};
}

}  // namespace

namespace {

// Where `name`, a view into `text`, is written there.
SetFileReference referenceTo(QByteArrayView text, QByteArrayView name) {
    const qsizetype at = name.data() - text.data();
    return {at, name.size(), at > 0 && text[at - 1] == '"', pathOf(name)};
}

std::vector<SetFileReference> cueReferences(QByteArrayView text) {
    std::vector<SetFileReference> found;
    for (QByteArrayView line : linesOf(text)) {
        line = trimmed(line);
        if (!startsWithWord(line, "FILE")) continue;
        QByteArrayView rest = line.sliced(4);
        rest = trimmed(rest);
        QByteArrayView name;
        if (rest.startsWith('"')) {
            name = takeWord(rest);
        } else {
            // Unquoted, the name may hold blanks: it runs to the last word, the file type.
            const qsizetype typeAt = std::max(rest.lastIndexOf(' '), rest.lastIndexOf('\t'));
            name = typeAt < 0 ? rest : trimmed(rest.first(typeAt));
        }
        if (!name.isEmpty()) found.push_back(referenceTo(text, name));
    }
    return found;
}

std::vector<SetFileReference> gdiReferences(QByteArrayView text) {
    std::vector<SetFileReference> found;
    bool first = true;
    for (QByteArrayView line : linesOf(text)) {
        line = trimmed(line);
        if (line.isEmpty()) continue;
        // The first line is the count of tracks.
        if (std::exchange(first, false)) continue;
        // track, start sector, type, sector size, file, offset
        QByteArrayView rest = line;
        for (int field = 0; field < 4 && !rest.isEmpty(); ++field)
            takeWord(rest);
        rest = trimmed(rest);
        if (rest.isEmpty()) continue;
        QByteArrayView name;
        if (rest.startsWith('"')) {
            name = takeWord(rest);
        } else {
            // Unquoted names with blanks are written too: all but the last field (the offset).
            const qsizetype offsetAt = std::max(rest.lastIndexOf(' '), rest.lastIndexOf('\t'));
            name = offsetAt < 0 ? rest : trimmed(rest.first(offsetAt));
        }
        if (!name.isEmpty()) found.push_back(referenceTo(text, name));
    }
    return found;
}

std::vector<SetFileReference> m3uReferences(QByteArrayView text) {
    std::vector<SetFileReference> found;
    for (QByteArrayView line : linesOf(text)) {
        line = trimmed(line);
        if (line.isEmpty() || line.startsWith('#')) continue;
        found.push_back(referenceTo(text, line));
    }
    return found;
}

QStringList pathsOf(const std::vector<SetFileReference>& references) {
    QStringList paths;
    for (const SetFileReference& r : references)
        paths.append(r.path);
    return paths;
}

}  // namespace

QStringList cueFiles(QByteArrayView text) {
    return pathsOf(cueReferences(text));
}

QStringList gdiFiles(QByteArrayView text) {
    return pathsOf(gdiReferences(text));
}

QStringList m3uFiles(QByteArrayView text) {
    return pathsOf(m3uReferences(text));
}

bool isSetFileName(const QString& name) {
    return kindOf(name) != SetKind::None;
}

std::vector<SetFileReference> setFileReferences(const QString& setFileName, QByteArrayView text) {
    switch (kindOf(setFileName)) {
        case SetKind::Cue:
            return cueReferences(text);
        case SetKind::Gdi:
            return gdiReferences(text);
        case SetKind::M3u:
            return m3uReferences(text);
        case SetKind::None:
            break;
    }
    return {};
}

bool DiscSets::isMember(const QString& name) const {
    return !members.isEmpty() && members.contains(platform::foldName(name));
}

DiscSets groupDiscSets(const QStringList& names,
                       const std::function<std::optional<QByteArray>(const QString&)>& read,
                       const std::function<bool(const QString&)>& exists) {
    // Names match without regard to letter case, as the sets were often written on systems
    // that ignore it.
    QHash<QString, QString> byFolded;
    for (const QString& name : names)
        byFolded.insert(platform::foldName(name), name);
    const auto find = [&](const QString& path) -> std::optional<QString> {
        if (path.contains(u'/')) {
            if (exists && exists(path)) return path;
            return std::nullopt;
        }
        const auto it = byFolded.constFind(platform::foldName(path));
        if (it == byFolded.constEnd()) return std::nullopt;
        return *it;
    };

    // Every .cue and .gdi first, then the .m3u files that take them in.
    struct Found {
        QString name;
        SetKind kind;
        QStringList present;  // in the folder, as it spells them
        QStringList missing;
    };
    std::vector<Found> found;
    QHash<QString, size_t> foundByFolded;
    for (const QString& name : names) {
        const SetKind kind = kindOf(name);
        if (kind == SetKind::None) continue;
        const std::optional<QByteArray> bytes = read(name);
        Found f{name, kind, {}, {}};
        if (bytes) {
            for (const QString& path : namedBy(kind, *bytes)) {
                const std::optional<QString> real = find(path);
                // A set naming itself (or, for an .m3u, another .m3u) takes in nothing.
                if (real &&
                    (*real == name || (kind == SetKind::M3u && kindOf(*real) == SetKind::M3u)))
                    continue;
                if (!real)
                    f.missing.append(path);
                else if (!real->contains(u'/') && !f.present.contains(*real))
                    f.present.append(*real);
            }
        }
        foundByFolded.insert(platform::foldName(name), found.size());
        found.push_back(std::move(f));
    }

    DiscSets result;
    QSet<QString> inM3u;  // folded names of the discs an .m3u takes in
    for (const Found& f : found)
        if (f.kind == SetKind::M3u)
            for (const QString& disc : f.present)
                inM3u.insert(platform::foldName(disc));
    const auto addSet = [&](const Found& f) {
        DiscSet set{f.name, {}, f.missing};
        for (const QString& member : f.present) {
            set.members.append(member);
            // A disc's own tracks belong to the game too.
            const auto disc = foundByFolded.constFind(platform::foldName(member));
            if (f.kind == SetKind::M3u && disc != foundByFolded.constEnd() &&
                found[*disc].kind != SetKind::M3u) {
                for (const QString& track : found[*disc].present)
                    if (!set.members.contains(track) && track != f.name) set.members.append(track);
                set.missing += found[*disc].missing;
            }
        }
        for (const QString& member : set.members)
            result.members.insert(platform::foldName(member));
        result.setOfTop.insert(f.name, int(result.sets.size()));
        result.sets.push_back(std::move(set));
    };
    for (const Found& f : found)
        if (f.kind == SetKind::M3u) addSet(f);
    for (const Found& f : found)
        if (f.kind != SetKind::M3u && !inM3u.contains(platform::foldName(f.name))) addSet(f);
    // A top file another set names is that set's member, not a game of its own.
    for (auto it = result.setOfTop.begin(); it != result.setOfTop.end();)
        it = result.members.contains(platform::foldName(it.key())) ? result.setOfTop.erase(it)
                                                                   : std::next(it);
    return result;
}

namespace {

// Whether any entry of the folder is named like a set file, from the raw names: a folder of
// 100,000 games and no disc set is then not listed, sorted and held a second time beside the
// listing it comes with. The three suffixes are ASCII, so the bytes end in one exactly when
// the decoded name does. A folder that cannot be read is left to the full listing.
bool mayHoldSetFiles(const QString& root) {
    DIR* dir = ::opendir(platform::encodeName(root).constData());
    if (!dir) return true;
    bool found = false;
    while (!found) {
        const dirent* e = ::readdir(dir);
        if (!e) break;
        const size_t n = std::strlen(e->d_name);
        if (n < 4 || e->d_name[n - 4] != '.') continue;
        char tail[4] = {};
        for (int i = 0; i < 3; ++i) {
            const char c = e->d_name[n - 3 + i];
            tail[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
        found = std::strcmp(tail, "cue") == 0 || std::strcmp(tail, "gdi") == 0 ||
                std::strcmp(tail, "m3u") == 0;
    }
    ::closedir(dir);
    return found;
}

// The sets among all the entries of `root` (ending in "/"), listed as they are or, with
// `prelisted`, from the entries already read: only the .cue, .gdi and .m3u files are opened.
DiscSets setsListed(const QString& root, PrelistedFiles* prelisted) {
    FolderListingOptions options;
    options.hidden = true;
    options.details = false;
    options.prelisted = prelisted;
    const std::vector<ListedFile> files = listFolder(root, {QStringLiteral("*.*")}, options);
    QStringList names;
    names.reserve(qsizetype(files.size()));
    bool anySetFile = false;
    for (const ListedFile& f : files) {
        names.append(f.name);
        anySetFile = anySetFile || kindOf(f.name) != SetKind::None;
    }
    if (!anySetFile) return {};
    return groupDiscSets(
        names,
        [&](const QString& name) {
            return platform::readWholeRegularFile(root + name, kSetFileMaxBytes);
        },
        [&](const QString& path) { return QFileInfo::exists(root + path); });
}

}  // namespace

DiscSets discSetsIn(const QString& folder) {
    const QString root = folder.endsWith(u'/') ? folder : folder + u'/';
    if (!mayHoldSetFiles(root)) return {};
    return setsListed(root, nullptr);
}

DiscSets discSetsAmong(const QString& folder, const PrelistedFiles& everything) {
    const QString root = folder.endsWith(u'/') ? folder : folder + u'/';
    if (std::none_of(everything.files.begin(), everything.files.end(),
                     [](const ListedFile& f) { return kindOf(f.name) != SetKind::None; }))
        return {};
    // The listing takes what it is handed: a copy (the names are shared, not copied).
    PrelistedFiles copy = everything;
    return setsListed(root, &copy);
}

void dropSetMembers(std::vector<ListedFile>& files, const DiscSets& sets) {
    if (sets.members.isEmpty()) return;
    std::erase_if(files, [&](const ListedFile& f) { return sets.isMember(f.name); });
}

QString missingMembersText(const DiscSet& set) {
    if (set.missing.isEmpty()) return {};
    return QStringLiteral("Missing: ") + set.missing.join(QStringLiteral(", "));
}

QHash<QString, QString> incompleteSetsOf(const DiscSets& sets) {
    QHash<QString, QString> incomplete;
    for (auto it = sets.setOfTop.constBegin(); it != sets.setOfTop.constEnd(); ++it)
        if (const QString text = missingMembersText(sets.sets[size_t(*it)]); !text.isEmpty())
            incomplete.insert(it.key(), text);
    return incomplete;
}
