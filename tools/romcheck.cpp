// romcheck [--dat FILE]... [--rename] FOLDER [MASK]: every game of FOLDER, listed as the
// file list lists it (MASK as in the list's pattern, "*.*" unless given), checked against
// the software lists and DAT files by its size and CRC-32, as the window's "Verified"
// column shows it. One line per game, tab-separated: the verdict, the full path, the
// list/software it matches ("-" for none) and that entry's description ("-" for none);
// then the counts. The checksums and the index live in the checksum cache database
// ($XDG_CACHE_HOME/Rombard), so a second run over the same files reads none of them.
//
// --dat adds a Logiqx DAT (or a software list) to the standard places. --rename renames
// each verified game to its entry's ROM name, as Ctrl+N does (never over another file, the
// screenshot going with it), and prints "<old path> -> <new name>" for each.
// Paths and names are printed with control characters, backslashes and bytes that are not
// UTF-8 escaped (\t, \n, \\, \xNN), so a crafted file name cannot break a column or forge
// a line. Exit status 0; 2 when the folder cannot be read or the arguments are wrong.

#include "identify/ChecksumDb.h"
#include "identify/Identification.h"
#include "identify/LibraryIdentifier.h"
#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/CanonicalName.h"
#include "launcher/maintenance/FileRenaming.h"
#include "launcher/maintenance/RenameJournal.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/PrintedNames.h"
#include "tools/ToolFolder.h"

#include <QFileInfo>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr char kUsage[] = "usage: romcheck [--dat FILE]... [--rename] [--] FOLDER [MASK]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int help() {
    std::fputs(kUsage, stdout);
    std::fputs(
        "Checks every game of FOLDER (MASK as the file list's pattern, *.* when not given)\n"
        "against the software lists and DAT files by its size and CRC-32. One line per game,\n"
        "tab-separated: verdict, full path, list/software (or -), description (or -); then\n"
        "the counts.\n"
        "  --dat FILE  also identify by this DAT file or software list\n"
        "  --rename    rename each verified game to its entry's ROM name, with its\n"
        "              screenshot, never over another file; prints \"<old path> -> <new name>\"\n"
        "  --help      show this help and exit\n"
        "In paths and names a tab prints as \\t, a line feed as \\n, a backslash as \\\\, and\n"
        "other control characters and bytes that are not UTF-8 as \\xNN, one per byte.\n",
        stdout);
    return 0;
}

void complain(const QString& text) {
    std::fprintf(stderr, "romcheck: %s\n", text.toLocal8Bit().constData());
}

QString orDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

// Tabs and line breaks inside a description would break the columns.
QString oneField(QString text) {
    for (QChar& c : text)
        if (c == u'\t' || c == u'\n' || c == u'\r') c = u' ';
    return text;
}

// Each verified game takes its entry's ROM name in one batch (the folders listed once), by
// F2's rules: nothing overwritten, the screenshot going with it or the game staying.
void renameVerified(const QString& folder, const QStringList& names,
                    const std::vector<identify::Identification>& answers) {
    std::vector<GameRename> wanted;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const identify::Identification& answer = answers[static_cast<std::size_t>(i)];
        if (answer.verdict != identify::Verdict::Verified) continue;
        const CanonicalName canonical = canonicalNameFor(names.at(i), answer);
        if (canonical.ok())
            wanted.push_back({names.at(i), canonical.name});
        else if (!canonical.alreadyNamed)
            complain(canonical.whyNot);
    }
    // The window's picture folders for a "roms" folder, in its order, listed once for the
    // batch and kept in step with its moves.
    ScreenshotSearch shots;
    RenameBatchHooks hooks;
    hooks.moved = [&](const QString& from, const QString& to) { shots.moved(from, to); };
    platform::LocalFileOperations files;
    shots.holdListings();
    const std::vector<GameRename> given = renameGameFiles(
        files, folder, wanted, picturesIn(shots, screenshotFoldersBeside(folder)), hooks);
    shots.releaseListings();
    for (const GameRename& done : given)
        tools::print(platform::printedName(folder + done.oldName) + " -> " +
                     platform::printedName(done.newName) + '\n');
    if (given.size() < wanted.size())
        complain(QString::number(wanted.size() - given.size()) +
                 QStringLiteral(" verified games kept their names: a screenshot could not follow "
                                "or the name could not be taken."));
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args = platform::argumentsFromArgv(argc, argv);
    QStringList dats;
    bool rename = false;
    while (!args.isEmpty() && args.first().startsWith(u'-')) {
        const QString option = args.takeFirst();
        if (option == QStringLiteral("--")) break;
        if (option == QStringLiteral("--help")) return help();
        if (option == QStringLiteral("--rename")) {
            rename = true;
        } else if (option == QStringLiteral("--dat") && !args.isEmpty()) {
            dats.append(QFileInfo(args.takeFirst()).absoluteFilePath());
        } else {
            return usage();
        }
    }
    if (args.isEmpty() || args.size() > 2) return usage();

    const auto folder = tools::readableFolder(args.at(0));
    if (!folder) {
        std::fprintf(stderr, "romcheck: cannot read the folder %s\n",
                     platform::encodeName(args.at(0)).constData());
        return 2;
    }

    // A run killed between a game's rename and its screenshot's is put right first.
    {
        platform::LocalFileOperations files;
        const RecoveredRenames recovered = recoverInterruptedRenames(files);
        const auto tell = [](const char* what, const QString& from, const QString& to) {
            std::fprintf(stderr, "romcheck: %s an interrupted rename: %s -> %s\n", what,
                         platform::printedName(from).constData(),
                         platform::printedName(to).constData());
        };
        for (const auto& [from, to] : recovered.completed)
            tell("finished", from, to);
        for (const auto& [from, to] : recovered.undone)
            tell("undid", to, from);
        if (recovered.leftApart > 0)
            complain(QString::number(recovered.leftApart) +
                     QStringLiteral(" interrupted renames could be neither finished nor undone."));
    }

    const QStringList names = tools::listedGames(*folder, args.value(1));
    QStringList paths;
    paths.reserve(names.size());
    for (const QString& name : names)
        paths.append(*folder + name);

    identify::Sources sources = identify::Sources::standard(QString());
    sources.paths += dats;
    QString error;
    const auto identifier =
        identify::openLibraryIdentifier(identify::ChecksumDb::defaultFile(), sources, &error);
    std::vector<identify::Identification> answers(static_cast<std::size_t>(paths.size()));
    if (identifier) {
        for (const QString& message : identifier->refreshSources({}))
            complain(message);
        identifier->identify(paths, [&](int index, const identify::Identification& answer) {
            answers[static_cast<std::size_t>(index)] = answer;
            return true;
        });
    } else {
        // Without the database every game is unknown; the listing is still worth having.
        complain(error.isEmpty() ? QStringLiteral("cannot open the checksum cache database")
                                 : error);
    }

    int counts[5] = {};
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const identify::Identification& answer = answers[static_cast<std::size_t>(i)];
        ++counts[static_cast<int>(answer.verdict)];
        if (!answer.problem.isEmpty())
            complain(paths.at(i) + QStringLiteral(": ") + answer.problem);
        QString entry, description;
        if (!answer.matches.empty()) {
            const identify::RomEntry& first = answer.matches.front();
            entry = first.source + u'/' + first.software;
            description = first.description;
        }
        tools::print(platform::encodeName(identify::verdictText(answer.verdict)) + '\t' +
                     platform::printedName(paths.at(i)) + '\t' +
                     platform::encodeName(orDash(oneField(entry)) + u'\t' +
                                          orDash(oneField(description)) + u'\n'));
    }
    tools::print(
        // A disc known by its header counts as verified; its line says how.
        QByteArray::number(counts[static_cast<int>(identify::Verdict::Verified)] +
                           counts[static_cast<int>(identify::Verdict::VerifiedHeader)]) +
        " verified, " + QByteArray::number(counts[static_cast<int>(identify::Verdict::CrcOnly)]) +
        " crc only, " + QByteArray::number(counts[static_cast<int>(identify::Verdict::BadDump)]) +
        " bad dumps, " + QByteArray::number(counts[static_cast<int>(identify::Verdict::Unknown)]) +
        " unknown.\n");
    if (rename) renameVerified(*folder, names, answers);
    return 0;
}
