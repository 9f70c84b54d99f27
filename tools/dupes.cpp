// dupes [--dry-run] FOLDER [MASK]: the launcher's duplicate finder on a folder listed as
// the file list lists it (MASK as in the list's pattern, "*.*" unless given), for scripts
// and for checking it against other tools. Prints one line per file removed, in the
// report's form "<full path> -> <name kept>" (with the window's words after it when a
// screenshot or a " [!]" tag chose the copy kept, or for a ".jad" that went with its game),
// and last the count. Copies go to the desktop trash. A copy's screenshot is looked for
// where the window looks when FOLDER is an emulator's "roms": the picture folders beside
// FOLDER ("shots", "snapshots", "snap", "screenshots"), then FOLDER and its covers. Paths
// and names are printed with control characters, backslashes and bytes that are not UTF-8
// escaped (\t, \n, \\, \xNN), so a crafted file name cannot forge a line. Exit status 0; 1
// when some copy could not be removed (each named on standard error with the reason); 2
// when the folder cannot be read or the arguments are wrong.

#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/DuplicateFinder.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/PrintedNames.h"
#include "tools/ToolFolder.h"

#include <cstdio>

namespace {

using tools::print;

constexpr char kUsage[] = "usage: dupes [--dry-run] [--] FOLDER [MASK]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int help() {
    std::fputs(kUsage, stdout);
    std::fputs(
        "Moves the byte-for-byte copies among the games of FOLDER (MASK as the file list's\n"
        "pattern, *.* when not given) to the trash, keeping one of each. Prints a line\n"
        "\"<full path> -> <name kept>\" per file removed, then the count.\n"
        "  --dry-run  remove nothing; print what would go\n"
        "  --help     show this help and exit\n"
        "In paths and names a tab prints as \\t, a line feed as \\n, a backslash as \\\\, and\n"
        "other control characters and bytes that are not UTF-8 as \\xNN, one per byte.\n",
        stdout);
    return 0;
}

QString printed(const QString& name) {
    // Plain ASCII and valid UTF-8 only, so it comes back as the very same bytes.
    return QString::fromUtf8(platform::printedName(name));
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args = platform::argumentsFromArgv(argc, argv);
    bool dryRun = false;
    while (!args.isEmpty() && args.first().startsWith(u'-')) {
        const QString option = args.takeFirst();
        if (option == QStringLiteral("--")) break;
        if (option == QStringLiteral("--help")) return help();
        if (option != QStringLiteral("--dry-run")) return usage();
        dryRun = true;
    }
    if (args.isEmpty() || args.size() > 2) return usage();

    const auto folder = tools::readableFolder(args.at(0));
    if (!folder) {
        std::fprintf(stderr, "dupes: cannot read the folder %s\n",
                     platform::encodeName(args.at(0)).constData());
        return 2;
    }

    const QStringList names = tools::listedGames(*folder, args.value(1));

    ScreenshotSearch shots;
    const QStringList shotFolders = screenshotFoldersBeside(*folder);
    const HasScreenshot hasScreenshot = [&](const QString& name) {
        return shots.hasOwnScreenshot(shotFolders, name);
    };
    platform::LocalFileOperations files;
    const DuplicateSearchResult result =
        findDuplicates(*folder, names, files,
                       dryRun ? DuplicateMode::DryRun : DuplicateMode::Remove, {}, hasScreenshot);
    for (const DuplicateSearchResult::Copy& copy : result.copies)
        print(duplicateReportLines(copy, names, printed).toUtf8());
    const QByteArray count = QByteArray::number(result.filesRemoved());
    print(count + (dryRun ? " duplicates found.\n" : " Duplicates Removed.\n"));
    for (const auto& f : result.failures)
        std::fprintf(stderr, "dupes: could not remove %s: %s\n",
                     platform::printedName(f.path).constData(),
                     f.reason.isEmpty() ? "reason not known" : f.reason.toLocal8Bit().constData());
    return result.failures.empty() ? 0 : 1;
}
