#include "launcher/maintenance/FileRenaming.h"

#include "launcher/PathHelpers.h"
#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/RenameJournal.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/FolderSnapshot.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <set>
#include <vector>

namespace {

constexpr qsizetype kNameMax = 255;  // bytes of one name on the file systems we meet

const QLatin1String kJar(".jar");
const QLatin1String kJad(".jad");

bool isJar(const QString& name) {
    return name.endsWith(kJar, Qt::CaseInsensitive);
}
bool isJad(const QString& name) {
    return name.endsWith(kJad, Qt::CaseInsensitive);
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

// Every entry of the games folder by its folded name, sorted, kept in step with the
// renames: the names that begin with a picture's name are one run of them. Not only the
// listed games: one the mask or the hidden list keeps out of the list is still a game
// that is shown its picture. Pictures lying among the games are no games of their own.
class FolderGames {
public:
    explicit FolderGames(const QString& folder) {
        for (const QString& name : platform::folderEntries(folder).value_or(QStringList()))
            add(name);
    }
    void moved(const QString& fromName, const QString& toName) {
        m_names.erase({platform::foldName(fromName), fromName});
        add(toName);
    }
    // Whether `test` holds for an entry whose folded name begins with `foldedBase`.
    bool anyBeginningWith(const QString& foldedBase,
                          const std::function<bool(const QString&)>& test) const {
        for (auto it = m_names.lower_bound({foldedBase, QString()});
             it != m_names.end() && it->first.startsWith(foldedBase); ++it)
            if (test(it->second)) return true;
        return false;
    }

private:
    void add(const QString& name) {
        if (!isPictureName(name)) m_names.emplace(platform::foldName(name), name);
    }
    std::set<std::pair<QString, QString>> m_names;
};

// Whether another game of the folder is shown `shot`, one of `game`'s own pictures: then
// it stays for that game. Only names beginning with the picture's own name can lead to it.
bool shownToAnother(const QString& shot, const QString& game, const QString& twin,
                    const FolderGames& games, const GamePictures& pictures) {
    if (!pictures.shown) return false;
    const QString base = platform::foldName(withExtension(fileNameOf(shot), QString()));
    return games.anyBeginningWith(base, [&](const QString& other) {
        if (other == game || other == twin) return false;
        return pictures.shown(other) == shot;
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
        // Where each entry the batch moved is now; one moved back is where it was.
        const QString first = m_firstNameOf.take(from);
        const QString origin = first.isEmpty() ? from : first;
        if (origin == to) {
            m_nowAt.remove(origin);
        } else {
            m_firstNameOf.insert(to, origin);
            m_nowAt.insert(origin, to);
        }
        if (m_hooks.moved) m_hooks.moved(from, to);
        return true;
    }
    bool remove(const QString& path) override {
        if (!m_files.remove(path)) return false;
        forget(path);
        return true;
    }
    QString lastError() const override { return m_files.lastError(); }
    // The path an entry of the batch's folders had before the batch is now at, when the
    // batch moved it (as a game or along with one).
    QString nowAt(const QString& before) const { return m_nowAt.value(before); }

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
    QHash<QString, Listing> m_folders;      // by folder path ending in "/"
    QHash<QString, QString> m_nowAt;        // path before the batch -> path now
    QHash<QString, QString> m_firstNameOf;  // path now -> path before the batch
};

std::optional<QString> renameOne(platform::FileOperations& files, const QString& folder,
                                 const QString& oldName, const QString& newName,
                                 const GamePictures& pictures, FolderGames& games,
                                 RenameJournal& journal);

}  // namespace

GamePictures picturesIn(ScreenshotSearch& search, const QStringList& folders) {
    return {[&search, folders](const QString& name) { return search.screenshotOf(folders, name); },
            [&search, folders](const QString& name) {
                return search.findOwnScreenshots(folders, name);
            }};
}

QStringList picturesThatFollow(const QString& folder, const QString& game,
                               const QStringList& sameGame, const GamePictures& pictures) {
    if (!pictures.own) return {};
    const FolderGames games(folder);
    QStringList follow;
    for (const QString& shot : pictures.own(game)) {
        if (platform::sameEntry(shot, folder + game)) continue;
        const QString base = platform::foldName(withExtension(fileNameOf(shot), QString()));
        const bool another =
            pictures.shown && games.anyBeginningWith(base, [&](const QString& other) {
                return other != game && !sameGame.contains(other) && pictures.shown(other) == shot;
            });
        if (!another) follow.append(shot);
    }
    return follow;
}

std::optional<QString> jadTwinOf(platform::FileOperations& files, const QString& jarPath) {
    if (!isJar(jarPath)) return std::nullopt;
    const auto jad = files.resolve(withExtension(jarPath, QStringLiteral(".jad")));
    if (!jad) return std::nullopt;
    // "A.jad" found for "a.jar" is A.jar's when the folder holds that one too.
    const auto owner = files.resolve(withExtension(*jad, QStringLiteral(".jar")));
    if (owner && !platform::sameEntry(*owner, jarPath)) return std::nullopt;
    return jad;
}

std::optional<QString> jarTwinOf(platform::FileOperations& files, const QString& jadPath) {
    if (!isJad(jadPath)) return std::nullopt;
    const auto jar = files.resolve(withExtension(jadPath, QStringLiteral(".jar")));
    if (!jar) return std::nullopt;
    // Its descriptor is the one jadTwinOf finds for it: "A.jad" and "a.jad" are not both.
    const auto jad = jadTwinOf(files, *jar);
    if (!jad || !platform::sameEntry(*jad, jadPath)) return std::nullopt;
    return jar;
}

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(kPathSeparator) && !name.contains(QChar(0));
}

std::optional<QString> renameGameFile(platform::FileOperations& files, const QString& folder,
                                      const QString& oldName, const QString& newName,
                                      const GamePictures& pictures) {
    FolderGames games(folder);
    RenameJournal journal;
    return renameOne(files, folder, oldName, newName, pictures, games, journal);
}

std::vector<GameRename> renameGameFiles(platform::FileOperations& files, const QString& folder,
                                        const std::vector<GameRename>& wanted,
                                        const GamePictures& pictures,
                                        const RenameBatchHooks& hooks) {
    BatchFiles batch(files, hooks);
    FolderGames games(folder);
    // One note for the batch, rewritten for each game.
    RenameJournal journal;
    std::vector<GameRename> done;
    const int total = static_cast<int>(wanted.size());
    for (int i = 0; i < total; ++i) {
        const GameRename& game = wanted[static_cast<std::size_t>(i)];
        // Both halves of a ".jar"/".jad" pair may be asked for (a DAT names both): the
        // first took the other along, and the other is done.
        const QString movedWith = batch.nowAt(folder + game.oldName);
        if (!movedWith.isEmpty() && parentFolderOf(movedWith) == folder)
            done.push_back({game.oldName, fileNameOf(movedWith)});
        else if (const auto given =
                     renameOne(batch, folder, game.oldName, game.newName, pictures, games, journal))
            done.push_back({game.oldName, *given});
        if (hooks.progress && !hooks.progress(i + 1, total)) break;
    }
    return done;
}

namespace {
std::optional<QString> renameOne(platform::FileOperations& files, const QString& folder,
                                 const QString& oldName, const QString& newName,
                                 const GamePictures& pictures, FolderGames& games,
                                 RenameJournal& journal) {
    if (newName == oldName || !isPlainFileName(newName)) return std::nullopt;
    // Only the entry listed under this very name: a file of another spelling that took
    // its place is not the one the user chose.
    const QString from = folder + oldName;
    if (!platform::hasEntry(from) || !files.fileSize(from)) return std::nullopt;

    // The other half of a ".jar"/".jad" pair goes with it, from either side; a pair whose
    // halves no longer end in ".jar" and ".jad" is no pair, so the type must stay.
    std::optional<QString> twin = jadTwinOf(files, from);
    QLatin1String twinType = kJad;
    if (!twin) {
        twin = jarTwinOf(files, from);
        twinType = kJar;
    }
    if (twin && extensionOf(newName).compare(extensionOf(oldName), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QString twinName = twin ? fileNameOf(*twin) : QString();

    // Looked up before anything moves: the lookup goes by the game's current name. Only
    // pictures named after the game itself are its own; one it is merely shown (by the
    // beginning of its name) is another game's.
    std::vector<Companion> companions;
    for (const QString& shot : pictures.own ? pictures.own(oldName) : QStringList()) {
        if (platform::sameEntry(shot, from) ||
            shownToAnother(shot, oldName, twinName, games, pictures))
            continue;
        companions.push_back({shot, [shot](const QString& game) {
                                  return parentFolderOf(shot) +
                                         withExtension(game, extensionOf(shot));
                              }});
    }
    if (twin) {
        companions.push_back({*twin, [folder, twinType](const QString& game) {
                                  return folder + withExtension(game, twinType);
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

    const QString to = folder + name;
    PlannedMoves plan{{from, to}};
    for (const Companion& c : companions) {
        const QString target = c.target(name);
        if (target != c.from) plan.emplace_back(c.from, target);  // already spelled so
    }
    // A game with something to take along is written down first: a kill between its
    // moves is put right at the next start.
    const bool noted = plan.size() > 1 && journal.begin(plan);

    // The platform's rename refuses to replace anything, so a name taken since the check
    // above only makes the rename fail.
    PlannedMoves moved;
    bool complete = true;
    for (const auto& move : plan) {
        if (files.rename(move.first, move.second)) {
            moved.push_back(move);
            continue;
        }
        // A game must not lose its picture or descriptor: undo, newest first.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            files.rename(it->second, it->first);
        complete = false;
        break;
    }
    if (noted) journal.end();
    if (!complete) return std::nullopt;
    for (const auto& [movedFrom, movedTo] : moved)
        if (parentFolderOf(movedFrom) == folder && parentFolderOf(movedTo) == folder)
            games.moved(fileNameOf(movedFrom), fileNameOf(movedTo));
    return name;
}
}  // namespace

QString nameGivenText(const QString& oldName, const QString& wanted, const QString& given) {
    return QLatin1Char('\'') + wanted +
           QStringLiteral("' is taken, and nothing is ever overwritten: '") + oldName +
           QStringLiteral("' is now '") + given + QStringLiteral("'.");
}

QString renamedCountText(const std::vector<GameRename>& wanted,
                         const std::vector<GameRename>& renamed) {
    // Enough to see what happened without a box taller than the screen.
    constexpr int kLinesShown = 10;
    QHash<QString, QString> wantedFor;
    for (const GameRename& w : wanted)
        wantedFor.insert(w.oldName, w.newName);
    QString text =
        QString::number(renamed.size()) +
        (renamed.size() == 1 ? QStringLiteral(" File Renamed") : QStringLiteral(" Files Renamed"));
    int numbered = 0;
    for (const GameRename& r : renamed) {
        const auto it = wantedFor.constFind(r.oldName);
        if (it == wantedFor.constEnd() || *it == r.newName) continue;
        if (++numbered <= kLinesShown)
            text += QLatin1Char('\n') + nameGivenText(r.oldName, *it, r.newName);
    }
    if (numbered > kLinesShown)
        text += QStringLiteral("\n... and ") + QString::number(numbered - kLinesShown) +
                QStringLiteral(" more were given another name.");
    return text;
}

QString dumpTagName(const QString& name, int shift) {
    const QString tag = shift == 2   ? QStringLiteral(" [b1]")
                        : shift == 4 ? QStringLiteral(" [b2]")
                                     : QStringLiteral(" [!]");
    if (name.contains(tag)) return replaceText(name, tag, QString(), 1, -1);
    return withExtension(name, QString()) + tag + extensionOf(name);
}

namespace {
// Underscores and dots become blanks, the way F8 tidies a name before it removes the text.
QString tidied(const QString& text) {
    QString out = replaceText(text, QStringLiteral("_"), QStringLiteral(" "), 1, -1);
    out = replaceText(out, QStringLiteral(" ."), QStringLiteral("."), 1, -1);
    return replaceText(out, QStringLiteral("."), QStringLiteral(" "), 1, -1);
}

// The name tidied; its extension keeps its dot.
QString tidiedName(const QString& name) {
    QString out = tidied(name);
    // Every dot is a blank now; the extension's comes back at its place from the end.
    const qsizetype extension = extensionOf(name).size();
    if (extension > 0 && out.size() >= extension) out[out.size() - extension] = QLatin1Char('.');
    return out;
}

// The text as it is looked for in a tidied name: "[www.site.example]" is
// "[www site example]" there. Empty when it tidies to blanks alone ("_", "."): the tidying
// has removed it already, and removing blanks would join the words of every name.
QString tidiedText(const QString& text) {
    const QString out = tidied(text);
    return out.trimmed().isEmpty() ? QString() : out;
}
}  // namespace

bool nameHoldsText(const QString& name, const QString& text) {
    if (text.isEmpty()) return false;
    if (name.contains(text, Qt::CaseInsensitive)) return true;
    const QString wanted = tidiedText(text);
    return !wanted.isEmpty() && tidiedName(name).contains(wanted, Qt::CaseInsensitive);
}

QString strippedName(const QString& name, const QString& text) {
    QString out = tidiedName(name);
    const QString wanted = tidiedText(text);
    if (!wanted.isEmpty()) out = replaceText(out, wanted, QString(), 1, -1);
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
