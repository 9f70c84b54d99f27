#include "launcher/games/Screenshots.h"

#include "filelist/FolderPrefetch.h"
#include "launcher/PathHelpers.h"
#include "platform/FileNames.h"
#include "platform/FolderSnapshot.h"

#include <algorithm>

namespace {
// What ends each name in a folder's listing.
// FolderPrefetch::joinedNames ends every name with the same character.
constexpr char16_t kEntryEnd = u'/';

// Calls `visit` with each name of a listing until it answers false.
template <typename Visit>
void eachEntry(const QString& entries, Visit&& visit) {
    qsizetype from = 0;
    while (from < entries.size()) {
        const qsizetype end = entries.indexOf(QChar(kEntryEnd), from);
        if (end < 0 || !visit(QStringView(entries).sliced(from, end - from))) return;
        from = end + 1;
    }
}

// The picture types searched, in the order they are preferred.
const QLatin1String kExtensions[4] = {QLatin1String(".png"), QLatin1String(".jpg"),
                                      QLatin1String(".gif"), QLatin1String(".bmp")};
const QLatin1String kRoms("/roms/");
const QLatin1String kCovers("covers_retro/");
// A listing taken within this long of the folder's last change may have missed a change
// made in the same clock tick, so it is taken again at the next search.
constexpr qint64 kSettleNs = 2'000'000'000;
constexpr qsizetype kMaxFolders = 64;

constexpr quint64 kHashSeed = 0xcbf29ce484222325ULL;
inline quint64 hashStep(quint64 h, QChar c) {
    return (h ^ c.unicode()) * 0x100000001b3ULL;
}
quint64 hashOf(QStringView text) {
    quint64 h = kHashSeed;
    for (const QChar c : text)
        h = hashStep(h, c);
    return h;
}

// Length of extensionOf's answer for the first k characters of name.
qsizetype extensionLength(const QString& name, qsizetype k) {
    for (qsizetype back = 4; back >= 2; --back)
        if (k >= back && name.at(k - back) == QLatin1Char('.')) return back;
    const qsizetype dot = QStringView(name).left(k).lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? 0 : k - dot;
}

// Whether the name may end in a picture type once folded. An ASCII ending folds to its
// lower case alone, so only such endings are ruled out without folding the name.
bool mayBePicture(const QString& entry) {
    if (entry.size() < 4) return false;
    const QStringView tail = QStringView(entry).right(4);
    for (const QChar c : tail)
        if (c.unicode() >= 0x80) return true;
    return std::any_of(std::begin(kExtensions), std::end(kExtensions), [tail](QLatin1String e) {
        return tail.compare(e, Qt::CaseInsensitive) == 0;
    });
}

QString withoutTrailingSeparator(const QString& folder) {
    if (folder.size() > 1 && folder.endsWith(kPathSeparator)) return folder.chopped(1);
    return folder;
}

QString joined(const QString& folder, const QString& name) {
    return folder.endsWith(kPathSeparator) ? folder + name : folder + kPathSeparator + name;
}
// The picture folders under an emulator folder or a folder of games, in the order tried.
constexpr const char* kShotFolders[] = {"shots", "snapshots", "snap", "screenshots"};
}  // namespace

QStringList screenshotFoldersOf(const QString& settingFolder, const QString& emulatorFolder,
                                const QString& listedFolder) {
    QStringList folders;
    auto add = [&folders](const QString& folder) {
        if (!folders.contains(folder)) folders << folder;
    };
    if (!settingFolder.isEmpty()) add(withTrailingSeparator(settingFolder));
    const QString listed = withTrailingSeparator(listedFolder);
    // A folder of games kept away from any emulator carries its pictures along, in the
    // same sub-folders; the emulator's own come first, as they always did.
    for (const QString& base : {withTrailingSeparator(emulatorFolder), listed})
        for (const char* sub : kShotFolders)
            add(base + QLatin1String(sub) + kPathSeparator);
    add(listed);
    add(coversFolder(listed));
    return folders;
}

QString noPictureHint(const QStringList& folders, const QString& home) {
    QString hint = QStringLiteral("No picture. Looked in:");
    const QString homeFolder = withTrailingSeparator(home);
    for (QString folder : folders) {
        if (!home.isEmpty() && folder.startsWith(homeFolder))
            folder = QStringLiteral("~/") + folder.mid(homeFolder.size());
        hint += QLatin1Char('\n') + folder;
    }
    return hint;
}

QStringList screenshotFoldersBeside(const QString& gamesFolder) {
    const QString games = withoutTrailingSeparator(gamesFolder);
    const qsizetype slash = games.lastIndexOf(kPathSeparator);
    const QString above = slash < 0 ? QString() : games.left(slash + 1);
    return screenshotFoldersOf(QString(), above, games);
}

bool isPictureName(const QString& name) {
    const QString folded = platform::foldName(name);
    return std::any_of(std::begin(kExtensions), std::end(kExtensions),
                       [&](QLatin1String e) { return folded.endsWith(e); });
}

QString coversFolder(const QString& listedFolder) {
    QString text = listedFolder;
    qsizetype pos = text.indexOf(kRoms, 0, Qt::CaseInsensitive);
    while (pos >= 0) {
        // The matched "roms" keeps its spelling: on a case-sensitive disk it is the real one.
        text.insert(pos + kRoms.size(), kCovers);
        pos = text.indexOf(kRoms, pos + kRoms.size() + kCovers.size(), Qt::CaseInsensitive);
    }
    return text;
}

ScreenshotSearch::Probe ScreenshotSearch::probeFor(const QString& name) {
    Probe p;
    p.name = name;
    p.folded = platform::foldName(name);
    // Folding keeps the length of almost every text; then a stem's folded form is a
    // prefix of the folded name and its hash comes from one pass.
    p.sameLength = p.folded.size() == name.size();
    std::vector<quint64> prefixHash;
    if (p.sameLength) {
        prefixHash.resize(name.size() + 1);
        prefixHash[0] = kHashSeed;
        for (qsizetype i = 0; i < name.size(); ++i)
            prefixHash[i + 1] = hashStep(prefixHash[i], p.folded.at(i));
    }
    for (qsizetype k = name.size(); k >= 1; --k) {
        if (name.at(k - 1) == kPathSeparator) break;
        const qsizetype s = k - extensionLength(name, k);
        // Shorter prefixes often keep the same stem ("Game.zi", "Game.z", "Game."); a stem
        // already tried has no picture.
        if (std::any_of(p.stems.begin(), p.stems.end(),
                        [s](const auto& e) { return e.first == s; }))
            continue;
        const quint64 h = p.sameLength ? prefixHash[s] : hashOf(platform::foldName(name.left(s)));
        p.stems.emplace_back(s, h);
    }
    return p;
}

ScreenshotSearch::Folder* ScreenshotSearch::listing(const QString& real) {
    // In a batch, a folder looked at once is not asked about again.
    if (m_held && m_trusted.contains(real)) {
        const auto held = m_folders.find(real);
        if (held != m_folders.end()) return &*held;
    }
    const std::optional<qint64> stamp = platform::folderStamp(real);
    if (!stamp) {
        m_folders.remove(real);
        return nullptr;
    }
    auto it = m_folders.find(real);
    if (it != m_folders.end() && ((m_held && m_trusted.contains(real)) ||
                                  (it->stamp == *stamp && it->listedAt - it->stamp > kSettleNs))) {
        if (m_held) m_trusted.insert(real);
        return &*it;
    }

    std::optional<std::vector<platform::FolderEntry>> read;
    const std::vector<platform::FolderEntry>* entries =
        m_readAhead ? m_readAhead->entriesFor(real) : nullptr;
    const qint64 listedAt = entries ? m_readAhead->listedAt() : 0;
    if (!entries) {
        read = platform::folderEntryKinds(real);
        if (!read) return nullptr;
        entries = &*read;
    }
    Folder f;
    f.stamp = *stamp;
    f.listedAt = listedAt ? listedAt : platform::stampNow();
    if (listedAt) {
        f.entries = m_readAhead->joinedNames();
    } else {
        qsizetype length = 0;
        for (const auto& [entry, kind] : *entries)
            length += entry.size() + 1;
        f.entries.reserve(length);
        for (const auto& [entry, kind] : *entries) {
            f.entries.append(entry);
            f.entries.append(kEntryEnd);
        }
    }
    for (const auto& [entry, kind] : *entries) {
        if (kind == platform::EntryKind::Other || !mayBePicture(entry)) continue;
        // Of two spellings, a plain file goes before one that still needs a look.
        addEntry(f, entry, platform::foldName(entry), kind != platform::EntryKind::File);
    }
    // A long session visits many folders; the few searched on every selection are
    // listed again at once.
    if (m_folders.size() >= kMaxFolders) m_folders.clear();
    it = m_folders.insert(real, std::move(f));
    if (m_held) m_trusted.insert(real);
    return &*it;
}

const QHash<QString, QString>& ScreenshotSearch::namesOf(Folder& f) {
    if (!f.named) {
        f.names.reserve(f.entries.count(kEntryEnd));
        eachEntry(f.entries, [&](QStringView view) {
            const QString entry = view.toString();
            const QString folded = platform::foldName(entry);
            if (f.names.contains(folded)) f.twins.insert(folded);
            f.names.insert(folded, entry);
            return true;
        });
        f.entries = QString();
        f.named = true;
    }
    return f.names;
}

QString ScreenshotSearch::realName(Folder& f, const QString& folded) {
    if (f.named) return f.names.value(folded);
    if (const auto known = f.looked.constFind(folded); known != f.looked.constEnd()) return *known;
    // The covers folder under the roms is looked up at every selection and is mostly missing:
    // one pass over ASCII names, which fold to their lower case, beats folding them all.
    QString found;
    bool folding = false;  // a name outside ASCII: only folding tells
    eachEntry(f.entries, [&](QStringView entry) {
        if (entry.size() != folded.size()) {
            folding = std::any_of(entry.begin(), entry.end(),
                                  [](QChar c) { return c.unicode() >= 0x80; });
            return !folding;
        }
        bool same = true;
        for (qsizetype i = 0; i < entry.size() && same; ++i) {
            char16_t c = entry.at(i).unicode();
            if (c >= 0x80) {
                folding = true;
                return false;
            }
            if (c >= u'A' && c <= u'Z') c += 32;
            same = folded.at(i).unicode() == c;
        }
        if (same) found = entry.toString();
        return true;
    });
    if (folding) return namesOf(f).value(folded);
    f.looked.insert(folded, found);
    return found;
}

void ScreenshotSearch::addEntry(Folder& f, const QString& entry, const QString& folded, bool look) {
    if (folded.size() < 4) return;
    const QStringView tail = QStringView(folded).right(4);
    const auto type = std::find(std::begin(kExtensions), std::end(kExtensions), tail);
    if (type == std::end(kExtensions)) return;
    const QString stem = folded.chopped(4);
    const quint64 hash = hashOf(stem);
    qsizetype at = -1;
    for (auto it = f.stems.constFind(hash); it != f.stems.constEnd() && it.key() == hash; ++it)
        if (f.pictures[*it].foldedStem == stem) at = *it;
    if (at < 0) {
        at = static_cast<qsizetype>(f.pictures.size());
        f.pictures.push_back(Picture{stem, {}});
        f.stems.insert(hash, at);
    }
    Picture& picture = f.pictures[at];
    const auto t = type - std::begin(kExtensions);
    if (picture.real[t].isEmpty() || (picture.look[t] && !look)) {
        picture.real[t] = entry;
        picture.look[t] = look;
    }
}

ScreenshotSearch::Picture* ScreenshotSearch::pictureOf(Folder& f, const QString& folded) {
    if (folded.size() < 4) return nullptr;
    const QString stem = folded.chopped(4);
    const quint64 hash = hashOf(stem);
    for (auto it = f.stems.constFind(hash); it != f.stems.constEnd() && it.key() == hash; ++it)
        if (f.pictures[*it].foldedStem == stem) return &f.pictures[*it];
    return nullptr;
}

void ScreenshotSearch::holdListings() {
    m_held = true;
    m_trusted.clear();
    m_changed.clear();
    m_spelled.clear();
}

void ScreenshotSearch::releaseListings() {
    m_held = false;
    for (const QString& folder : std::as_const(m_changed))
        m_folders.remove(folder);
    m_changed.clear();
    m_trusted.clear();
    m_spelled.clear();
}

void ScreenshotSearch::moved(const QString& fromPath, const QString& toPath) {
    const QString fromFolder = withoutTrailingSeparator(parentFolderOf(fromPath));
    const QString toFolder =
        toPath.isEmpty() ? QString() : withoutTrailingSeparator(parentFolderOf(toPath));
    // A listing not looked at since the batch began may be out of date anyway: it is
    // listed again at the next search.
    for (const QString& folder : {fromFolder, toFolder}) {
        if (folder.isEmpty()) continue;
        if (!m_held || !m_trusted.contains(folder)) m_folders.remove(folder);
        if (m_held) m_changed.insert(folder);
    }
    if (!m_held) return;
    auto from = m_folders.find(fromFolder);
    if (from != m_folders.end()) {
        const QString name = fileNameOf(fromPath);
        const QString folded = platform::foldName(name);
        namesOf(*from);
        if (from->twins.contains(folded)) {
            // Which spelling is left is not known here: the folder is listed again.
            m_folders.erase(from);
        } else {
            from->names.remove(folded);
            if (Picture* picture = pictureOf(*from, folded))
                for (QString& real : picture->real)
                    if (real == name) real.clear();
        }
    }
    auto to = m_folders.find(toFolder);
    if (to != m_folders.end()) {
        const QString name = fileNameOf(toPath);
        const QString folded = platform::foldName(name);
        namesOf(*to);
        if (to->names.contains(folded)) to->twins.insert(folded);
        to->names.insert(folded, name);
        // What the entry is has not been looked at: the search looks when it finds it.
        addEntry(*to, name, folded, true);
    }
}

QString ScreenshotSearch::resolveFolder(const QString& folder) {
    const QString path = withoutTrailingSeparator(folder);
    if (path.isEmpty()) return {};
    if (platform::folderStamp(path)) return path;
    const qsizetype slash = path.lastIndexOf(kPathSeparator);
    if (slash < 0) return {};
    const QString name = path.mid(slash + 1);
    const QString parent = resolveFolder(slash == 0 ? QString(kPathSeparator) : path.left(slash));
    if (parent.isEmpty() || name.isEmpty()) return {};
    Folder* f = listing(parent);
    if (!f) return {};
    const QString spelled = realName(*f, platform::foldName(name));
    if (spelled.isEmpty()) return {};
    const QString real = joined(parent, spelled);
    return platform::folderStamp(real) ? real : QString();
}

const ScreenshotSearch::Folder* ScreenshotSearch::searched(const QString& folder, QString& base) {
    QString real = withoutTrailingSeparator(folder);
    // A folder a batch found missing, or spelled otherwise on disk, stays so for the batch.
    const auto known = m_held ? m_spelled.constFind(real) : m_spelled.constEnd();
    if (known != m_spelled.constEnd()) {
        if (known->isEmpty()) return nullptr;
        real = *known;
    }
    const Folder* f = listing(real);
    if (!f) {
        // Not spelled as on disk (or not there at all): the slow path, once per search.
        const QString given = real;
        real = resolveFolder(real);
        if (m_held) m_spelled.insert(given, real);
        if (real.isEmpty()) return nullptr;
        f = listing(real);
        if (!f) return nullptr;
    }
    base = real == withoutTrailingSeparator(folder) ? folder : real;
    return f;
}

QString ScreenshotSearch::search(const QString& folder, const Probe& probe) {
    if (probe.stems.empty()) return {};
    QString base;
    const Folder* f = searched(folder, base);
    if (!f) return {};
    for (const auto& [length, hash] : probe.stems) {
        for (auto it = f->stems.constFind(hash); it != f->stems.constEnd() && it.key() == hash;
             ++it) {
            const Picture& picture = f->pictures[*it];
            const bool same =
                probe.sameLength
                    ? QStringView(probe.folded).left(length) == picture.foldedStem
                    : platform::foldName(probe.name.left(length)) == picture.foldedStem;
            if (!same) continue;
            for (int t = 0; t < 4; ++t) {
                if (picture.real[t].isEmpty()) continue;
                const QString path = joined(base, picture.real[t]);
                if (!picture.look[t] || platform::regularFile(path)) return path;
            }
        }
    }
    return {};
}

void ScreenshotSearch::searchOwn(const QString& folder, const Probe& probe, bool one,
                                 QStringList& found) {
    // The longest stem is the whole name without its extension; a name that is all
    // extension (".bin") has none of its own.
    if (probe.stems.empty() || probe.stems.front().first == 0) return;
    const auto [length, hash] = probe.stems.front();
    const QString stem =
        probe.sameLength ? probe.folded.left(length) : platform::foldName(probe.name.left(length));
    QString base;
    const Folder* f = searched(folder, base);
    if (!f) return;
    for (auto it = f->stems.constFind(hash); it != f->stems.constEnd() && it.key() == hash; ++it) {
        const Picture& picture = f->pictures[*it];
        if (picture.foldedStem != stem) continue;
        for (int t = 0; t < 4; ++t) {
            if (picture.real[t].isEmpty()) continue;
            const QString path = joined(base, picture.real[t]);
            if (picture.look[t] && !platform::regularFile(path)) continue;
            found.append(path);
            if (one) return;
        }
    }
}

QString ScreenshotSearch::findPictureFile(const QString& folder, const QString& name) {
    return search(folder, probeFor(name));
}

QString ScreenshotSearch::screenshotOf(const QStringList& folders, const QString& name) {
    const Probe probe = probeFor(name);
    for (const QString& folder : folders) {
        QString found = search(folder, probe);
        if (!found.isEmpty()) return found;
    }
    return {};
}

QStringList ScreenshotSearch::findOwnScreenshots(const QStringList& folders, const QString& name) {
    const Probe probe = probeFor(name);
    QStringList found;
    // A folder named twice in the series (the setting naming "shots/") is one folder.
    for (const QString& folder : folders)
        searchOwn(folder, probe, false, found);
    found.removeDuplicates();
    return found;
}

bool ScreenshotSearch::hasOwnScreenshot(const QStringList& folders, const QString& name) {
    const Probe probe = probeFor(name);
    QStringList found;
    for (const QString& folder : folders) {
        searchOwn(folder, probe, true, found);
        if (!found.isEmpty()) return true;
    }
    return false;
}
