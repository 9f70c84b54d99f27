// Typed hide answers as patterns, and the ".hidden" list F4 writes: never through a link.

#include "launcher/maintenance/HiddenFiles.h"
#include "launcher/ui/WindowFixture.h"
#include "support/RawFiles.h"

#include <sys/stat.h>
#include <unistd.h>

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
    struct stat st {};
    const QByteArray p = raw::bytes(path);
    if (::lstat(p.constData(), &st) != 0) return QStringLiteral("none");
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(p.constData(), target, sizeof target);
        return QStringLiteral("link:") + QString::fromUtf8(target, n < 0 ? 0 : n);
    }
    if (S_ISFIFO(st.st_mode)) return QStringLiteral("fifo");
    if (S_ISDIR(st.st_mode)) return QStringLiteral("folder");
    return QStringLiteral("file:") + QString::fromUtf8(raw::read(path));
}

// Hiding and clearing change only a plain ".hidden"; a link and its target stay as they were.
TEST(HiddenList, OnlyAPlainListIsEverChanged) {
    enum Kind { LinkToFile, LinkToList, Dangling, Fifo, Folder };
    const char* const kinds[] = {"a link to the user's file", "a link to another list",
                                 "a dangling link", "a FIFO", "a folder"};
    for (const int kind : {LinkToFile, LinkToList, Dangling, Fifo, Folder}) {
        SCOPED_TRACE(kinds[kind]);
        TempFolder t;
        t.write("a.smc", "A");
        t.write("b.smc", "B");
        t.mkdir("sub");
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
    EXPECT_EQ(what(t.file(".hidden")), "file:sub\n");
    EXPECT_EQ(filesUnder(t.path()),
              (QStringList{".hidden: sub\n", "a.smc: A", "b.smc: B", "notes.txt: mine"}));
    TempFolder empty;
    EXPECT_TRUE(clearHiddenFiles(empty.path()));
    EXPECT_FALSE(empty.exists(".hidden"));
}

TEST_F(WindowTest, HidingAndClearingThroughALinkLeaveItAndItsTarget) {
    openRoms({"Game [b1].nes", "Game.nes", "x.smc"});
    const QString notes = emu.write("notes.txt", "x.smc\nkeep me");
    ASSERT_TRUE(raw::link(notes, emu.file("roms/.hidden")));
    const QString before = what(emu.file("roms/.hidden"));
    dialogs.inputAnswers = {QString("*[b?]*"), QString(" ")};
    press(Qt::Key_F4);
    press(Qt::Key_F4);
    EXPECT_EQ(dialogs.inputs.size(), 2);
    ASSERT_EQ(dialogs.messages.size(), 2);
    for (const auto& m : dialogs.messages)
        EXPECT_TRUE(m.text.contains("'.hidden' file is not a plain file")) << m.text.toStdString();
    EXPECT_EQ(what(emu.file("roms/.hidden")), before);
    EXPECT_EQ(what(notes), "file:x.smc\nkeep me");
    // The link is still read: what it lists stays hidden.
    EXPECT_EQ(listed(), (QStringList{"Game [b1].nes", "Game.nes"}));
}

}  // namespace
