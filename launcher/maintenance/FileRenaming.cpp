#include "launcher/maintenance/FileRenaming.h"

#include "launcher/PathHelpers.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/FolderSnapshot.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <vector>

namespace {

constexpr qsizetype kNameMax = 255;  // bytes of one name on the file systems we meet

bool isJar(const QString& name) {
    return name.endsWith(QLatin1String(".jar"), Qt::CaseInsensitive);
}

// One file that moves in the rename: where it is and the name it gets for a game name.
struct Companion {
    QString from;
    std::function<QString(const QString& gameName)> target;
};

// Whether `target` is taken by an entry other than `from` itself, letter case ignored. A
// change of letter case only keeps the same entry; a link to `from`, or a hard link of it,
// is another entry and must not be replaced.
bool taken(platform::FileOperations& files, const QString& from, const QString& target) {
    const auto real = files.resolve(target);
    return real && !platform::sameEntry(*real, from);
}

// The listed games by their folded names, sorted: the names that begin with a picture's
// name are one run of them, found without folding the whole list for every game.
class ListedNames {
public:
    explicit ListedNames(const QStringList& listed) {
        m_names.reserve(listed.size());
        for (const QString& name : listed)
            m_names.emplace_back(platform::foldName(name), name);
        std::sort(m_names.begin(), m_names.end());
    }
    // Whether `test` holds for a listed name whose folded form begins with `foldedBase`.
    bool anyBeginningWith(const QString& foldedBase,
                          const std::function<bool(const QString&)>& test) const {
        auto it =
            std::lower_bound(m_names.begin(), m_names.end(), std::make_pair(foldedBase, QString()));
        for (; it != m_names.end() && it->first.startsWith(foldedBase); ++it)
            if (test(it->second)) return true;
        return false;
    }

private:
    std::vector<std::pair<QString, QString>> m_names;
};

// Whether another listed game shows `shot` too. Only names beginning with the picture's
// own name can lead to it.
bool sharedScreenshot(const QString& shot, const QString& game, const ListedNames& listed,
                      const ScreenshotFinder& findScreenshot) {
    const QString base = platform::foldName(withExtension(fileNameOf(shot), QString()));
    const QString twin = isJar(game) ? withExtension(game, QStringLiteral(".jad")) : QString();
    return listed.anyBeginningWith(base, [&](const QString& other) {
        if (other == game || (!twin.isEmpty() && other.compare(twin, Qt::CaseInsensitive) == 0))
            return false;
        return findScreenshot(other) == shot;
    });
}

// The file operations of a batch: names are looked up in one listing per folder, kept in
// step with the batch's own moves, instead of a listing taken again after every change.
// Another program's change meanwhile cannot lead to an overwrite: the rename itself
// refuses to replace anything.
class BatchFiles final : public platform::FileOperations {
public:
    BatchFiles(platform::FileOperations& files, const RenameBatchHooks& hooks)
        : m_files(files), m_hooks(hooks) {}

    std::optional<QString> resolve(const QString& path) override {
        const qsizetype slash = path.lastIndexOf(kPathSeparator);
        const Listing* listing = slash < 0 ? nullptr : listingOf(path.left(slash + 1));
        if (!listing) return m_files.resolve(path);
        const auto it = listing->names.constFind(platform::foldName(path.mid(slash + 1)));
        if (it == listing->names.constEnd()) return std::nullopt;
        return path.left(slash + 1) + *it;
    }
    std::optional<qint64> fileSize(const QString& path) override { return m_files.fileSize(path); }
    std::optional<QDateTime> fileDate(const QString& path) override {
        return m_files.fileDate(path);
    }
    bool rename(const QString& from, const QString& to) override {
        if (!m_files.rename(from, to)) return false;
        forget(from);
        learn(to);
        if (m_hooks.moved) m_hooks.moved(from, to);
        return true;
    }
    bool remove(const QString& path) override {
        if (!m_files.remove(path)) return false;
        forget(path);
        return true;
    }
    QString lastError() const override { return m_files.lastError(); }

private:
    struct Listing {
        QHash<QString, QString> names;  // folded -> real
        // Folded names listed more than once: which spelling a move leaves is not known.
        QSet<QString> twins;
    };
    const Listing* listingOf(const QString& folder) {
        auto it = m_folders.find(folder);
        if (it != m_folders.end()) return &*it;
        const std::optional<QStringList> names = platform::folderEntries(folder);
        if (!names) return nullptr;
        Listing listing;
        listing.names.reserve(names->size());
        for (const QString& real : *names) {
            const QString folded = platform::foldName(real);
            if (listing.names.contains(folded)) listing.twins.insert(folded);
            listing.names.insert(folded, real);
        }
        return &*m_folders.insert(folder, std::move(listing));
    }
    void forget(const QString& path) {
        auto it = m_folders.find(parentFolderOf(path));
        if (it == m_folders.end()) return;
        const QString folded = platform::foldName(fileNameOf(path));
        if (it->twins.contains(folded))
            m_folders.erase(it);  // listed again at the next look-up
        else
            it->names.remove(folded);
    }
    void learn(const QString& path) {
        auto it = m_folders.find(parentFolderOf(path));
        if (it == m_folders.end()) return;
        const QString folded = platform::foldName(fileNameOf(path));
        if (it->names.contains(folded)) it->twins.insert(folded);
        it->names.insert(folded, fileNameOf(path));
    }

    platform::FileOperations& m_files;
    const RenameBatchHooks& m_hooks;
    QHash<QString, Listing> m_folders;  // by folder path ending in "/"
};

std::optional<QString> renameOne(platform::FileOperations& files, const QString& folder,
                                 const QString& oldName, const QString& newName,
                                 const ScreenshotFinder& findScreenshot, const ListedNames& listed);

}  // namespace

std::optional<QString> JadTwinOf(platform::FileOperations& files, const QString& jarPath) {
    if (!isJar(jarPath)) return std::nullopt;
    const auto jad = files.resolve(withExtension(jarPath, QStringLiteral(".jad")));
    if (!jad) return std::nullopt;
    // "A.jad" found for "a.jar" is A.jar's when the folder holds that one too.
    const auto owner = files.resolve(withExtension(*jad, QStringLiteral(".jar")));
    if (owner && !platform::sameEntry(*owner, jarPath)) return std::nullopt;
    return jad;
}

bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(kPathSeparator) && !name.contains(QChar(0));
}

std::optional<QString> RenameGameFile(platform::FileOperations& files, const QString& folder,
                                      const QString& oldName, const QString& newName,
                                      const ScreenshotFinder& findScreenshot,
                                      const QStringList& listed) {
    return renameOne(files, folder, oldName, newName, findScreenshot, ListedNames(listed));
}

std::vector<GameRename> RenameGameFiles(platform::FileOperations& files, const QString& folder,
                                        const std::vector<GameRename>& wanted,
                                        const ScreenshotFinder& findScreenshot,
                                        const QStringList& listed, const RenameBatchHooks& hooks) {
    BatchFiles batch(files, hooks);
    const ListedNames names(listed);
    std::vector<GameRename> done;
    const int total = static_cast<int>(wanted.size());
    for (int i = 0; i < total; ++i) {
        const GameRename& game = wanted[static_cast<std::size_t>(i)];
        if (const auto given =
                renameOne(batch, folder, game.oldName, game.newName, findScreenshot, names))
            done.push_back({game.oldName, *given});
        if (hooks.progress && !hooks.progress(i + 1, total)) break;
    }
    return done;
}

namespace {
std::optional<QString> renameOne(platform::FileOperations& files, const QString& folder,
                                 const QString& oldName, const QString& newName,
                                 const ScreenshotFinder& findScreenshot,
                                 const ListedNames& listed) {
    if (newName == oldName || !IsPlainFileName(newName)) return std::nullopt;
    // Only the entry listed under this very name: a file of another spelling that took
    // its place is not the one the user chose.
    const QString from = folder + oldName;
    if (!platform::hasEntry(from) || !files.fileSize(from)) return std::nullopt;

    // Looked up before anything moves: the lookup goes by the game's current name.
    std::vector<Companion> companions;
    const QString shot = findScreenshot ? findScreenshot(oldName) : QString();
    if (!shot.isEmpty() && !platform::sameEntry(shot, from) &&
        !sharedScreenshot(shot, oldName, listed, findScreenshot)) {
        companions.push_back({shot, [shot](const QString& game) {
                                  return parentFolderOf(shot) +
                                         withExtension(game, extensionOf(shot));
                              }});
    }
    if (const auto jad = JadTwinOf(files, from)) {
        companions.push_back({*jad, [folder](const QString& game) {
                                  return folder + withExtension(game, QStringLiteral(".jad"));
                              }});
    }

    // A change of letter case only finds the game itself and keeps its name; a link, a
    // hard link or another file under that spelling is a clash like any other.
    auto clash = [&](const QString& candidate) {
        if (taken(files, from, folder + candidate)) return true;
        for (const Companion& c : companions)
            if (taken(files, c.from, c.target(candidate))) return true;
        return false;
    };
    QString name = newName;
    int n = 0;
    while (clash(name)) {
        ++n;
        name = withExtension(name, QString()) + QLatin1Char('(') + QString::number(n) +
               QLatin1Char(')') + extensionOf(name);
        if (platform::encodeName(name).size() > kNameMax) return std::nullopt;
    }

    // The platform's rename refuses to replace anything, so a name taken since the check
    // above only makes the rename fail.
    const QString to = folder + name;
    if (!files.rename(from, to)) return std::nullopt;
    std::vector<std::pair<QString, QString>> moved{{from, to}};
    for (const Companion& c : companions) {
        const QString target = c.target(name);
        if (target == c.from) continue;  // a picture already spelled as the new name
        if (files.rename(c.from, target)) {
            moved.emplace_back(c.from, target);
            continue;
        }
        // A game must not lose its picture or descriptor: undo, newest first.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            files.rename(it->second, it->first);
        return std::nullopt;
    }
    return name;
}
}  // namespace

QString DumpTagName(const QString& name, int Shift) {
    const QString tag = Shift == 2   ? QStringLiteral(" [b1]")
                        : Shift == 4 ? QStringLiteral(" [b2]")
                                     : QStringLiteral(" [!]");
    if (name.contains(tag)) return replaceText(name, tag, QString(), 1, -1);
    return withExtension(name, QString()) + tag + extensionOf(name);
}

QString StrippedName(const QString& name, const QString& text) {
    QString out = replaceText(name, QStringLiteral("_"), QStringLiteral(" "), 1, -1);
    out = replaceText(out, QStringLiteral(" ."), QStringLiteral("."), 1, -1);
    out = replaceText(out, QStringLiteral("."), QStringLiteral(" "), 1, -1);
    // Every dot is a blank now; the extension's comes back at its place from the end.
    const qsizetype extension = extensionOf(name).size();
    if (extension > 0 && out.size() >= extension) out[out.size() - extension] = QLatin1Char('.');
    if (text != QLatin1String(".")) out = replaceText(out, text, QString(), 1, -1);
    // Only the extension's dot is left, so what follows it is the extension.
    const QString tail = extensionOf(out);
    QString stem;
    stem.reserve(out.size());
    for (const QChar c : QStringView(out).left(out.size() - tail.size())) {
        if (c == QLatin1Char(' ') && (stem.isEmpty() || stem.endsWith(QLatin1Char(' ')))) continue;
        stem.append(c);
    }
    if (stem.endsWith(QLatin1Char(' '))) stem.chop(1);
    if (stem.isEmpty()) return name;
    return stem + tail;
}
