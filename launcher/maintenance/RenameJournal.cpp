#include "launcher/maintenance/RenameJournal.h"

#include "platform/DurableNote.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"

#include <QDir>

namespace {

const QByteArray kHeader("rombard renames 1\n");

// Paths are bytes with no NUL in them: each one ends in a NUL.
QByteArray encoded(const PlannedMoves& moves) {
    QByteArray out = kHeader;
    for (const auto& [from, to] : moves)
        out += platform::encodeName(from) + '\0' + platform::encodeName(to) + '\0';
    return out;
}

std::optional<PlannedMoves> decoded(const QByteArray& bytes) {
    if (!bytes.startsWith(kHeader)) return std::nullopt;
    QList<QByteArray> parts = bytes.mid(kHeader.size()).split('\0');
    // The last NUL leaves an empty part behind it; a torn write leaves an odd count.
    if (parts.isEmpty() || !parts.takeLast().isEmpty() || parts.size() % 2 != 0)
        return std::nullopt;
    PlannedMoves moves;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        moves.emplace_back(platform::decodeName(parts.at(i)),
                           platform::decodeName(parts.at(i + 1)));
    return moves;
}

bool made(const std::pair<QString, QString>& move) {
    return !platform::hasEntry(move.first) && platform::hasEntry(move.second);
}

void putRight(platform::FileOperations& files, const PlannedMoves& moves, RecoveredRenames& out) {
    if (moves.empty()) return;
    PlannedMoves done;
    bool complete = made(moves.front());
    if (complete) done.push_back(moves.front());
    for (std::size_t i = 1; i < moves.size() && complete; ++i) {
        const auto& move = moves[i];
        if (made(move)) {
            done.push_back(move);
        } else if (platform::hasEntry(move.first)) {
            // The platform's rename never replaces: a taken name makes it fail.
            if (files.rename(move.first, move.second)) {
                out.completed.push_back(move);
                done.push_back(move);
            } else {
                complete = false;
            }
        }
        // Neither name there: the file went by other hands, and nothing is left to part.
    }
    if (complete) return;
    // The game came first and is taken back last, so that a kill meanwhile leaves a note
    // that still says which moves were made.
    bool apart = false;
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
        if (files.rename(it->second, it->first))
            out.undone.push_back(*it);
        else
            apart = true;
    }
    if (apart) ++out.leftApart;
}

}  // namespace

QString RenameJournal::defaultFolder() {
    return platform::userBaseFolder("XDG_STATE_HOME", QStringLiteral(".local/state")) +
           QStringLiteral("/Rombard/renames");
}

RenameJournal::RenameJournal(QString folder)
    : m_note(std::make_unique<platform::DurableNote>(std::move(folder))) {}

RenameJournal::~RenameJournal() = default;

bool RenameJournal::begin(const PlannedMoves& moves) {
    return m_note->write(encoded(moves));
}

void RenameJournal::end() {
    m_note->clear();
}

RecoveredRenames recoverInterruptedRenames(platform::FileOperations& files, const QString& folder) {
    RecoveredRenames out;
    platform::takeAbandonedNotes(folder, [&](const QByteArray& content) {
        // Empty: the run ended between two games. Unreadable: nothing can be done by it.
        if (const auto moves = decoded(content)) putRight(files, *moves, out);
        return true;
    });
    return out;
}
