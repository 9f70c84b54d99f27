// Typed hide answers as patterns, and the ".hidden" list F4 writes: never through a link.

#include "launcher/maintenance/HiddenFiles.h"
#include "launcher/ui/WindowFixture.h"
#include "support/RawFiles.h"

#include <sys/stat.h>

namespace {

TEST(HidePattern, TypedAnswersHideTheNamesTheyDescribe) {
    const QStringList names{"Game [!].smc", "Game [b1].smc", "Game (U).smc", "Mario 2.smc",
                            "Zelda.smc",    "Zelda.SMC",     "x[y].smc",     "Game [!].smc"};
    const std::pair<const char*, QStringList> cases[] = {
        {"*[!]*", {"Game [!].smc"}},  // brackets typed match themselves; each name once
        {"*{0-9}*", {"Game [b1].smc", "Mario 2.smc"}},  // braces are the class brackets
        {"*[B?].*", {"Game [b1].smc"}},                 // capitals as small letters
        {"*[b?].*", {"Game [b1].smc"}},
        {"zelda.smc", {"Zelda.smc", "Zelda.SMC"}},
        {"*{!a-z}.smc",
         {"Game [!].smc", "Game [b1].smc", "Game (U).smc", "Mario 2.smc", "x[y].smc"}},
        {"*]*", {"Game [!].smc", "Game [b1].smc", "x[y].smc"}},
        {"*{*", {}},  // not a valid pattern: hides nothing
    };
    for (const auto& [answer, hidden] : cases)
        EXPECT_EQ(namesMatchingHidePattern(names, hideMatchPattern(QString::fromUtf8(answer))),
                  hidden)
            << answer;
}

// What a path is now: "link:<target>", "file:<bytes>", "fifo", "folder" or "none".
QString what(const QString& path) {
    const QFileInfo f(path);
    if (f.isSymLink()) return QStringLiteral("link:") + f.symLinkTarget();
    if (f.isDir()) return QStringLiteral("folder");
    if (f.isFile()) return QStringLiteral("file:") + QString::fromUtf8(raw::read(path));
    return QString::fromLatin1(f.exists() ? "fifo" : "none");
}

// Hiding and clearing change only a plain ".hidden"; a link and its target stay as they were.
TEST(HiddenList, OnlyAPlainListIsEverChanged) {
    enum Kind { LinkToFile, LinkToList, Dangling, Fifo, Folder };
    const char* const kinds[] = {"a link to the user's file", "a link to another list",
                                 "a dangling link", "a FIFO", "a folder"};
    for (const int kind : {LinkToFile, LinkToList, Dangling, Fifo, Folder}) {
        SCOPED_TRACE(kinds[kind]);
        TempFolder t;
        const QString list = t.file(".hidden");
        const QString target = t.file("notes.txt");
        if (kind == LinkToFile) t.write("notes.txt", "my notes\nno line break");
        if (kind == LinkToList) t.write("notes.txt", "sub\nb.smc\n");
        if (kind <= Dangling) {
            ASSERT_TRUE(raw::link(target, list));
        }
        if (kind == Fifo) {
            ASSERT_EQ(::mkfifo(raw::bytes(list).constData(), 0644), 0);
        }
        if (kind == Folder) t.mkdir(".hidden");
        const auto now = [&] { return QStringList{what(list), what(target)}; };
        const QStringList before = now();

        EXPECT_FALSE(addToHiddenList(t.path(), {"a.smc"}));
        EXPECT_EQ(now(), before);
        EXPECT_FALSE(clearHiddenFiles(t.path()));
        EXPECT_EQ(now(), before);
        EXPECT_FALSE(t.exists(".hidden.rombard-new"));
        // Names listed already need no change, so there is nothing to refuse.
        if (kind == LinkToList) {
            EXPECT_TRUE(addToHiddenList(t.path(), {"b.smc"}));
        }
    }
}

// Each name once; clearing keeps folders and removes an interrupted clear's leftover unread.
TEST(HiddenList, AddsOnceAndClearsOnlyFiles) {
    TempFolder t;
    t.write("a.smc", "A");
    t.write("b.smc", "B");
    t.mkdir("sub");
    t.write(".hidden", "sub\nold.smc");  // no line break at the end
    ASSERT_TRUE(addToHiddenList(t.path(), {"a.smc", "sub", "x\ny.smc", "b [!].smc", "a.smc"}));
    EXPECT_EQ(t.read(".hidden"), "sub\nold.smc\na.smc\nb [!].smc\n");
    t.write("notes.txt", "mine");
    ASSERT_TRUE(raw::link(t.file("notes.txt"), t.file(".hidden.rombard-new")));
    ASSERT_TRUE(clearHiddenFiles(t.path()));
    EXPECT_EQ(raw::tree(t.path()),
              (QStringList{".hidden: sub\n", "a.smc: A", "b.smc: B", "notes.txt: mine", "sub/"}));
    TempFolder empty;
    EXPECT_TRUE(clearHiddenFiles(empty.path()));
    EXPECT_FALSE(empty.exists(".hidden"));
}

TEST_F(WindowTest, HidingAndClearingThroughALinkLeaveItAndItsTarget) {
    openRoms({"Game [b1].nes", "Game.nes", "x.smc"});
    const QString notes = emu.write("notes.txt", "x.smc\nkeep me");
    ASSERT_TRUE(raw::link(notes, emu.file("roms/.hidden")));
    const QStringList before = raw::tree(emu.path());
    dialogs.inputAnswers = {QString("*[b?]*"), QString(" ")};
    press(Qt::Key_F4);
    press(Qt::Key_F4);
    ASSERT_EQ(said().size(), 2);
    for (const QString& text : said())
        EXPECT_TRUE(holds(text, "'.hidden' file is not a plain file"));
    EXPECT_EQ(raw::tree(emu.path()), before);
    // The link is still read: what it lists stays hidden.
    EXPECT_EQ(listed(), (QStringList{"Game [b1].nes", "Game.nes"}));
}

}  // namespace
