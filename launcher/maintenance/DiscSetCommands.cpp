#include "launcher/maintenance/DiscSetCommands.h"

#include "launcher/PathHelpers.h"
#include "launcher/maintenance/FileRenaming.h"
#include "launcher/maintenance/RenameJournal.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"

#include <algorithm>
#include <vector>

namespace {

constexpr qsizetype kNameMax = 255;  // bytes of one name on the file systems we meet

// Whether `target` is taken by an entry other than `from` itself (a change of letter case
// keeps the same entry).
bool taken(platform::FileOperations& files, const QString& from, const QString& target) {
    const auto real = files.resolve(target);
    return real && !platform::sameEntry(*real, from);
}

QString why(platform::FileOperations& files, const QString& fallback) {
    const QString error = files.lastError();
    return error.isEmpty() ? fallback : error;
}

struct Rewrite {
    QString path;  // where the set file is once the files have moved
    QByteArray before;
    QByteArray after;
};

}  // namespace

std::optional<DiscSet> discSetHeadedBy(const QString& folder, const QString& name) {
    if (!isSetFileName(name)) return std::nullopt;
    const DiscSets sets = discSetsIn(folder);
    const DiscSet* set = sets.setOf(name);
    if (!set) return std::nullopt;
    return *set;
}

QString setMemberName(const QString& member, const QString& oldStem, const QString& newStem) {
    if (oldStem.isEmpty() || !member.startsWith(oldStem, Qt::CaseInsensitive)) return member;
    return newStem + member.mid(oldStem.size());
}

QByteArray renamedReferences(const QString& setFileName, const QByteArray& bytes,
                             const QHash<QString, QString>& renamed) {
    // A playlist line is the name whatever it holds; the others split fields at blanks.
    const bool quotesBlanks = !setFileName.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive);
    QByteArray out;
    out.reserve(bytes.size());
    qsizetype copied = 0;
    for (const SetFileReference& ref : setFileReferences(setFileName, bytes)) {
        if (ref.path.contains(u'/')) continue;  // in another folder: none of the set's moves
        const auto it = renamed.constFind(platform::foldName(ref.path));
        if (it == renamed.constEnd()) continue;
        const QByteArrayView written(bytes.constData() + ref.at, ref.length);
        // "./" or ".\" before the name stays as written.
        const qsizetype nameAt = std::max(written.lastIndexOf('/'), written.lastIndexOf('\\')) + 1;
        const QByteArray name = platform::encodeName(*it);
        const bool quote =
            quotesBlanks && !ref.quoted && (name.contains(' ') || name.contains('\t'));
        out += QByteArrayView(bytes).sliced(copied, ref.at - copied);
        if (quote) out += '"';
        out += written.first(nameAt);
        out += name;
        if (quote) out += '"';
        copied = ref.at + ref.length;
    }
    out += QByteArrayView(bytes).sliced(copied);
    return out;
}

std::optional<QString> renameDiscSet(platform::FileOperations& files, const QString& folder,
                                     const DiscSet& set, const QString& newTop,
                                     const GamePictures& pictures, QString* whyNot) {
    const auto fail = [&](const QString& text) -> std::optional<QString> {
        if (whyNot) *whyNot = text;
        return std::nullopt;
    };
    if (newTop == set.top || !isPlainFileName(newTop)) return std::nullopt;
    // The row's type says what kind of set it is; another one would be no set.
    const QString type = extensionOf(set.top);
    if (extensionOf(newTop).compare(type, Qt::CaseInsensitive) != 0)
        return fail(QLatin1Char('\'') + set.top +
                    QStringLiteral("' is a disc set: its name keeps ") +
                    (type.isEmpty() ? QStringLiteral("no extension")
                                    : QLatin1Char('\'') + type + QLatin1Char('\'')) +
                    QStringLiteral("."));
    const QString oldStem = withExtension(set.top, QString());
    const QString wantedStem = withExtension(newTop, QString());
    QStringList sameGame = set.members;
    const QStringList shots = picturesThatFollow(folder, set.top, sameGame, pictures);

    // Every move for a stem: the top first, then the members, then the pictures.
    const auto movesFor = [&](const QString& stem) {
        PlannedMoves moves{{folder + set.top, folder + stem + extensionOf(newTop)}};
        for (const QString& member : set.members)
            moves.emplace_back(folder + member, folder + setMemberName(member, oldStem, stem));
        for (const QString& shot : shots)
            moves.emplace_back(shot, parentFolderOf(shot) + stem + extensionOf(shot));
        std::erase_if(moves, [](const auto& move) { return move.first == move.second; });
        return moves;
    };
    QString stem = wantedStem;
    PlannedMoves moves = movesFor(stem);
    for (int n = 1;; ++n) {
        const bool clash = std::any_of(moves.begin(), moves.end(), [&](const auto& move) {
            return taken(files, move.first, move.second);
        });
        if (!clash) break;
        // As F2 numbers a name: "(1)", then "(1)(2)"; a stem's dots are no extension.
        stem += QLatin1Char('(') + QString::number(n) + QLatin1Char(')');
        if (platform::encodeName(stem + type).size() > kNameMax) return std::nullopt;
        moves = movesFor(stem);
    }

    // The set files' new content, read before anything moves.
    QHash<QString, QString> renamed;
    for (const QString& member : set.members)
        renamed.insert(platform::foldName(member), setMemberName(member, oldStem, stem));
    std::vector<Rewrite> rewrites;
    QStringList setFiles{set.top};
    setFiles += set.members;
    for (const QString& name : setFiles) {
        if (!isSetFileName(name)) continue;
        const auto bytes = platform::readWholeRegularFile(folder + name, kSetFileMaxBytes);
        if (!bytes) continue;  // it named nothing the set holds
        QByteArray after = renamedReferences(name, *bytes, renamed);
        if (after == *bytes) continue;
        const QString newName =
            name == set.top ? stem + extensionOf(newTop) : setMemberName(name, oldStem, stem);
        rewrites.push_back({folder + newName, *bytes, std::move(after)});
    }

    // Written down first, so that a kill between two moves is put right at the next start.
    RenameJournal journal;
    const bool noted = journal.begin(moves);
    PlannedMoves moved;
    const auto undoMoves = [&] {
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            files.rename(it->second, it->first);
    };
    for (const auto& move : moves) {
        if (!files.rename(move.first, move.second)) {
            const QString error = why(files, QStringLiteral("Could not rename '") +
                                                 fileNameOf(move.first) + QStringLiteral("'."));
            undoMoves();
            if (noted) journal.end();
            return fail(error + QStringLiteral("\nNothing was renamed."));
        }
        moved.push_back(move);
    }
    std::vector<const Rewrite*> rewritten;
    for (const Rewrite& rewrite : rewrites) {
        if (!files.replaceContent(rewrite.path, rewrite.after)) {
            const QString error = why(files, QStringLiteral("Could not write '") +
                                                 fileNameOf(rewrite.path) + QStringLiteral("'."));
            for (auto it = rewritten.rbegin(); it != rewritten.rend(); ++it)
                files.replaceContent((*it)->path, (*it)->before);
            undoMoves();
            if (noted) journal.end();
            return fail(error + QStringLiteral("\nNothing was renamed."));
        }
        rewritten.push_back(&rewrite);
    }
    if (noted) journal.end();
    return stem + extensionOf(newTop);
}

bool trashDiscSet(platform::FileOperations& files, const QString& folder, const DiscSet& set,
                  QString* whyNot) {
    QStringList paths{folder + set.top};
    for (const QString& member : set.members)
        paths.append(folder + member);
    QStringList gone;
    for (const QString& path : paths) {
        if (files.remove(path)) {
            gone.append(path);
            continue;
        }
        QString text = why(files, QStringLiteral("Could not move '") + fileNameOf(path) +
                                      QStringLiteral("' to the trash."));
        // All of the game or none of it: what went comes back, newest first.
        QStringList stranded;
        for (auto it = gone.crbegin(); it != gone.crend(); ++it)
            if (!files.restore(*it)) stranded.append(fileNameOf(*it));
        if (stranded.isEmpty())
            text += QStringLiteral("\nNone of the game's files was moved to the trash.");
        else
            text +=
                QStringLiteral("\nThese files are in the trash and could not be brought back: ") +
                stranded.join(QStringLiteral(", ")) + QLatin1Char('.');
        if (whyNot) *whyNot = text;
        return false;
    }
    return true;
}
