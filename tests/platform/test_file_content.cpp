// A set file rewritten in one step, and an entry brought back from the trash: on real
// folders, what is replaced or restored, and what is never touched.

#include "platform/FileContent.h"
#include "platform/FileOperations.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::lstat(raw::bytes(path).constData(), &st);
    return st.st_mode & 07777;
}

TEST(ReplaceFileContent, ReplacesAPlainFileOnlyAndLeavesNothingBeside) {
    TempFolder dir;
    dir.write("game.cue", "old");
    ::chmod(raw::bytes(dir.file("game.cue")).constData(), 0640);
    ASSERT_EQ(::symlink("game.cue", raw::bytes(dir.file("link.cue")).constData()), 0);
    struct Case {
        const char* name;
        bool replaced;
    };
    const Case cases[] = {{"game.cue", true}, {"link.cue", false}, {"gone.cue", false}};
    for (const Case& c : cases) {
        QString why;
        EXPECT_EQ(platform::replaceFileContent(dir.file(c.name), "new\r\n\xff", &why), c.replaced)
            << c.name;
        EXPECT_EQ(why.isEmpty(), c.replaced) << c.name;
    }
    EXPECT_EQ(dir.read("game.cue"), "new\r\n\xff");
    EXPECT_EQ(modeOf(dir.file("game.cue")), 0640u);
    // The link is still a link, to the same file; no new file stays behind.
    EXPECT_EQ(filesUnder(dir.path()),
              QStringList({"game.cue: new\r\n" + QString::fromUtf8("\xff"),
                           "link.cue: new\r\n" + QString::fromUtf8("\xff")}));
    EXPECT_TRUE(QFileInfo(dir.file("link.cue")).isSymLink());
}

TEST(TrashRestore, BringsBackOnlyToAFreeName) {
    TempFolder dir;
    platform::LocalFileOperations files(platform::TrashPlaces{dir.file("Trash"), false});
    dir.write("a.bin", "a");
    dir.write("b.bin", "b");
    ASSERT_TRUE(files.remove(dir.file("a.bin")) && files.remove(dir.file("b.bin")));
    dir.write("b.bin", "new b");
    EXPECT_TRUE(files.restore(dir.file("a.bin")));
    EXPECT_FALSE(files.restore(dir.file("b.bin")));
    EXPECT_FALSE(files.restore(dir.file("never.bin")));
    // a.bin's info file went with it; b.bin stays in the trash, described.
    EXPECT_EQ(filesUnder(dir.path()),
              QStringList({"Trash/files/b.bin: b",
                           "Trash/info/b.bin.trashinfo: " +
                               QString::fromUtf8(dir.read("Trash/info/b.bin.trashinfo")),
                           "a.bin: a", "b.bin: new b"}));
}

}  // namespace
