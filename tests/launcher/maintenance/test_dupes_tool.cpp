// The dupes tool on real folders: what it prints, what it removes and where to, what a dry
// run leaves alone, and when it refuses.

#include "platform/FileNames.h"
#include "platform/PrintedNames.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using ToolRun = support::ProgramRun;

// Removed files go to the trash under `dataHome`.
ToolRun runDupes(const QList<QByteArray>& args, const QByteArray& cwd, const QByteArray& dataHome) {
    return support::runProgram(DUPES_PROGRAM, args, cwd, {"XDG_DATA_HOME=" + dataHome});
}

QStringList entries(const QString& folder) {
    QStringList names;
    for (const QByteArray& name : raw::names(folder))
        names.append(platform::decodeName(name));
    names.sort();
    return names;
}

class DupesTool : public ::testing::Test {
protected:
    DupesTool() {
        // A name that is not UTF-8 and begins with a dash, given after "--".
        folderName = platform::decodeName(QByteArray("-r\xe9ms"));
        folder = QFileInfo(parent.path()).canonicalFilePath() + u'/' + folderName;
        raw::mkdir(folder);
        same = QByteArray(5000, 'x');
        same[100] = 'y';
        odd = platform::decodeName(QByteArray("Odd\xff name.bin"));
        // copy.txt is outside the mask, hidden.bin hidden from the list.
        for (const QString& name : {QStringLiteral("a.bin"), QStringLiteral("b.bin"), odd,
                                    QStringLiteral("copy.txt"), QStringLiteral("hidden.bin")})
            raw::write(folder + u'/' + name, same);
        raw::write(folder + QStringLiteral("/.hidden"), "hidden.bin\n");
    }

    ToolRun dupes(QList<QByteArray> args) {
        return runDupes(args, raw::bytes(parent.path()), raw::bytes(home.path()));
    }
    QString trash() const { return home.file(QStringLiteral("Trash/files")); }

    TempFolder parent;
    TempFolder home;
    raw::RemoveTree cleanParent{parent.path()};
    raw::RemoveTree cleanHome{home.path()};
    QString folderName, folder, odd;
    QByteArray same;
    // The files that stay in every run.
    const QStringList others{QStringLiteral(".hidden"), QStringLiteral("copy.txt"),
                             QStringLiteral("hidden.bin")};
};

TEST_F(DupesTool, RemovesTheLaterCopiesToTheTrashAndPrintsTheReport) {
    const QStringList three{QStringLiteral("a.bin"), QStringLiteral("b.bin"), odd};
    QStringList before = others + three;
    before.sort();
    ASSERT_EQ(entries(folder), before);

    const QByteArray name = raw::bytes(folderName);
    const ToolRun dry = dupes({"--dry-run", "--", name, "*.bin"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(entries(folder), before) << "a dry run removes nothing";
    EXPECT_TRUE(entries(trash()).isEmpty());

    const ToolRun real = dupes({"--", name, "*.bin"});
    EXPECT_EQ(real.status, 0);
    // Of the three the one the folder lists first stays; which one that is depends on the
    // folder, so it is read back from the disk.
    QStringList kept, removed;
    for (const QString& n : three)
        (raw::exists(folder + u'/' + n) ? kept : removed) << n;
    ASSERT_EQ(kept.size(), 1);
    // Names print escaped: the folder's and the odd one's bytes that are not UTF-8 too.
    const QByteArray prefix = platform::printedName(folder) + '/';
    auto line = [&](const QString& gone, const QString& stays) {
        return prefix + platform::printedName(gone) + " -> " + platform::printedName(stays) + '\n';
    };
    const QByteArray report = line(removed[0], kept[0]) + line(removed[1], kept[0]);
    const QByteArray swapped = line(removed[1], kept[0]) + line(removed[0], kept[0]);
    EXPECT_TRUE(real.out == report + "2 Duplicates Removed.\n" ||
                real.out == swapped + "2 Duplicates Removed.\n")
        << real.out.constData();
    // The dry run named the same copies in the same words.
    EXPECT_EQ(dry.out, real.out.left(real.out.indexOf("2 D")) + "2 duplicates found.\n");

    QStringList after = others + kept;
    after.sort();
    EXPECT_EQ(entries(folder), after) << "files outside the mask and hidden ones stay";
    removed.sort();
    EXPECT_EQ(entries(trash()), removed);
    for (const QString& r : removed)
        EXPECT_EQ(raw::read(trash() + u'/' + r), same);

    // Every file without a mask: copy.txt is a copy now, and one of the two goes.
    const ToolRun again = dupes({"--", name});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out == line("copy.txt", kept[0]) + "1 Duplicates Removed.\n" ||
                again.out == line(kept[0], "copy.txt") + "1 Duplicates Removed.\n")
        << again.out.constData();
    EXPECT_EQ(entries(folder).size(), after.size() - 1);

    // How names print (escaped as the report above shows) is said in --help.
    const ToolRun help = dupes({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("a line feed as \\n")) << help.out.constData();
}

TEST_F(DupesTool, RefusesWhatItCannotReadOrUnderstandAndTouchesNothing) {
    const QByteArray name = raw::bytes(folderName);
    const QByteArray file = raw::bytes(folder) + "/a.bin";
    struct Case {
        const char* what;
        QList<QByteArray> args;
    };
    // clang-format off
    const Case cases[] = {
        {"missing folder", {QByteArray("missing")}}, {"a file, not a folder", {file}},
        {"no folder", {}},
        {"unknown option", {"--force", "--", name}}, {"a dash name without --", {name}},
        {"too many arguments", {"--", name, "*.bin", "*.txt"}},
    };
    // clang-format on
    QStringList before = entries(folder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ToolRun run = dupes(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(entries(folder), before);
    }
    // Permissions do not stop root: root runs the tool as the user nobody, who may pass
    // through the folder above but not read this one (a copy of the tool, which nobody can
    // reach wherever the build lies).
    const QString tool = home.file(QStringLiteral("dupes"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(DUPES_PROGRAM), tool));
    for (const QString& passable : {parent.path(), home.path()})
        ::chmod(raw::bytes(passable).constData(), 0711);
    ::chmod(raw::bytes(tool).constData(), 0755);
    ::chmod(raw::bytes(folder).constData(), 0);
    const ToolRun unreadable =
        support::runProgram(raw::bytes(tool).constData(), {"--", name}, raw::bytes(parent.path()),
                            {"XDG_DATA_HOME=" + raw::bytes(home.path())}, support::kNobodyUid);
    ::chmod(raw::bytes(folder).constData(), 0755);
    EXPECT_EQ(unreadable.status, 2) << "unreadable folder";
    EXPECT_EQ(entries(folder), before);
    EXPECT_TRUE(entries(trash()).isEmpty());
}

// The picture folders beside the listed one are the window's, in the window's order: a
// copy's own screenshot decides also when it lies in a later one than a picture that
// another name merely begins with.
TEST(DupesToolPictures, AnOwnScreenshotInALaterFolderKeepsItsCopy) {
    TempFolder emu;
    emu.write("roms/Game (USA).bin", "same");
    emu.write("roms/Copy.bin", "same");
    emu.write("shots/Game.png", "shown");
    emu.write("screenshots/Game (USA).png", "own");
    const ToolRun run = runDupes({"--", raw::bytes(emu.file("roms"))}, raw::bytes(emu.path()),
                                 raw::bytes(emu.file("home")));
    EXPECT_EQ(run.status, 0);
    const QString roms = QFileInfo(emu.file("roms")).canonicalFilePath();
    EXPECT_EQ(run.out, raw::bytes(roms) + "/Copy.bin -> Game (USA).bin (has a screenshot)\n" +
                           "1 Duplicates Removed.\n");
    EXPECT_EQ(entries(emu.file("roms")), QStringList{"Game (USA).bin"});
}

}  // namespace
