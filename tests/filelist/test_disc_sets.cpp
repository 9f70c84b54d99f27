#include "filelist/DiscSets.h"
#include "filelist/FolderList.h"
#include "filelist/ListModel.h"
#include "platform/FileNames.h"

#include "filelist/ListRows.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHash>

namespace {

TEST(DiscSetFiles, NameTheirMembers) {
    struct Case {
        const char* what;
        QStringList (*parse)(QByteArrayView);
        QByteArray text;
        QStringList files;
    };
    const QByteArray odd = "Caf\xE9 (Track 1).bin";  // Latin-1, not UTF-8
    // clang-format off
    const Case cases[] = {
        {"cue: quoted names, CR-LF, indented lines and a BOM", cueFiles,
         "\xEF\xBB\xBF"
         "FILE \"Alpha (Track 1).bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n"
         "    INDEX 01 00:00:00\r\n\r\nFILE \"Alpha (Track 2).bin\" BINARY\r\n",
         {"Alpha (Track 1).bin", "Alpha (Track 2).bin"}},
        {"cue: unquoted with blanks, lower case, a Windows sub-folder", cueFiles,
         "file Beta Track 1.bin BINARY\nFILE .\\tracks\\b2.bin WAVE\nREM FILE \"no.bin\"\n",
         {"Beta Track 1.bin", "tracks/b2.bin"}},
        {"cue: a name that is not UTF-8", cueFiles, "FILE \"" + odd + "\" BINARY\n",
         {platform::decodeName(odd)}},
        {"cue: an unclosed quote runs to the line's end", cueFiles, "FILE \"half.bin\n",
         {"half.bin"}},
        {"gdi: quoted and plain names", gdiFiles,
         "3\r\n1 0 4 2352 track01.bin 0\r\n2 756 0 2352 \"track 02.raw\" 0\r\n"
         "3 45000 4 2352 track03.bin 0\r\n", {"track01.bin", "track 02.raw", "track03.bin"}},
        {"gdi: blank lines and an unquoted name with blanks", gdiFiles,
         "2\n\n1 0 4 2352 track 01.bin 0\n2 600 0 2352 t2.bin 0\n", {"track 01.bin", "t2.bin"}},
        {"m3u: comments, blanks, CR-LF", m3uFiles,
         "#EXTM3U\r\n# the discs\r\nBeta (Disc 1).cue\r\n\r\n  Beta (Disc 2).chd  \r\n",
         {"Beta (Disc 1).cue", "Beta (Disc 2).chd"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.parse(c.text), c.files);
    }
}

TEST(DiscSetGrouping, OneRowPerSet) {
    struct Case {
        const char* what;
        QHash<QString, QByteArray> files;  // every file of the folder, with its bytes
        QStringList rows;                  // the files that keep a row, sorted
        QHash<QString, QString> incomplete;
    };
    // clang-format off
    const Case cases[] = {
        {"a cue takes its tracks in, letter case ignored; a stray track stays",
         {{"Alpha.cue",
         "FILE \"alpha (track 1).BIN\" BINARY\nFILE \"Alpha (Track 2).bin\" BINARY\n"},
         {"Alpha (Track 1).bin", ""},
         {"Alpha (Track 2).bin", ""},
         {"Lone.bin", ""}}, {"Alpha.cue", "Lone.bin"}, {}},
        {"an m3u takes in its discs and their tracks",
         {{"Beta.m3u", "Beta (Disc 1).cue\nBeta (Disc 2).chd\n"},
         {"Beta (Disc 1).cue", "FILE \"b1.bin\" BINARY\n"},
         {"b1.bin", ""},
         {"Beta (Disc 2).chd", ""}}, {"Beta.m3u"}, {}},
        {"missing members are named on the set's row",
         {{"Gamma.cue", "FILE \"g1.bin\" BINARY\nFILE \"g2.bin\" BINARY\n"}, {"g1.bin", ""}},
         {"Gamma.cue"}, {{"Gamma.cue", "Missing: g2.bin"}}},
        {"an m3u's missing disc and a missing track of a disc it has",
         {{"D.m3u", "D1.cue\nD2.cue\n"}, {"D1.cue", "FILE \"d1.bin\" BINARY\n"}}, {"D.m3u"},
         {{"D.m3u", "Missing: D2.cue, d1.bin"}}},
        {"a gdi, and a set naming itself or nothing readable",
         {{"Dc.gdi", "1\n1 0 4 2352 \"dc 01.bin\" 0\n"},
         {"dc 01.bin", ""},
         {"Self.cue", "FILE \"Self.cue\" BINARY\n"},
         {"Empty.m3u", "# nothing\n"}}, {"Dc.gdi", "Empty.m3u", "Self.cue"}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DiscSets sets = groupDiscSets(
            c.files.keys(),
            [&](const QString& name) -> std::optional<QByteArray> { return c.files.value(name); },
            [](const QString&) { return false; });
        std::vector<ListedFile> listed;
        for (const QString& name : c.files.keys())
            listed.push_back({name});
        dropSetMembers(listed, sets);
        QStringList rows;
        for (const ListedFile& f : listed)
            rows << f.name;
        rows.sort();
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(incompleteSetsOf(sets), c.incomplete);
    }
}

// Two games on disk, eleven files: Alpha (one .cue, three tracks) and Beta (two discs of
// a .cue and two tracks each, and an .m3u naming both discs).
class DiscSetFolder : public ::testing::Test {
protected:
    void SetUp() override {
        QByteArray alpha;
        for (int t = 1; t <= 3; ++t) {
            const QString track = QStringLiteral("Alpha (Track %1).bin").arg(t);
            dir.write(track, "data");
            alpha += "FILE \"" + track.toUtf8() + "\" BINARY\r\n  TRACK 0" + QByteArray::number(t) +
                     " MODE2/2352\r\n";
        }
        dir.write("Alpha.cue", alpha);
        for (int d = 1; d <= 2; ++d) {
            QByteArray cue;
            for (int t = 1; t <= 2; ++t) {
                const QString track = QStringLiteral("Beta (Disc %1) (Track %2).bin").arg(d).arg(t);
                dir.write(track, "data");
                cue += "FILE \"" + track.toUtf8() + "\" BINARY\n";
            }
            dir.write(QStringLiteral("Beta (Disc %1).cue").arg(d), cue);
        }
        dir.write("Beta.m3u", "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
    }
    QStringList rows(const QString& masks) {
        ListModel model;
        FolderList list(model);
        list.initPattern(masks);
        list.setPath(dir.path());
        QStringList out = listNames(model);
        out.sort();
        return out;
    }
    TempFolder dir;
};

// A set with a file missing is still one row, marked.
TEST_F(DiscSetFolder, ListsEachGameOnceAndNoTrackAsACartridge) {
    ASSERT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 11);
    EXPECT_EQ(rows("*.bin;*.cue;*.m3u"), QStringList({"Alpha.cue", "Beta.m3u"}));
    // An Atari emulator takes .bin files: the tracks are no cartridges.
    EXPECT_EQ(rows("*.zip;*.a26;*.bin;*.z26"), QStringList());

    ASSERT_TRUE(QFile::remove(dir.file("Beta (Disc 2) (Track 2).bin")));
    ListModel model;
    FolderList list(model);
    list.initPattern("*.bin;*.cue;*.m3u");
    list.setPath(dir.path());
    ASSERT_EQ(listNames(model), QStringList({"Alpha.cue", "Beta.m3u"}));
    EXPECT_FALSE(model.subItemText(0, 2).endsWith("(files missing)"));
    EXPECT_TRUE(model.subItemText(1, 2).endsWith("(files missing)"));
    EXPECT_EQ(model.incompleteSetText("Beta.m3u"), "Missing: Beta (Disc 2) (Track 2).bin");
}

// A folder's only set file is found whatever the case of its suffix, among other names.
TEST(DiscSetFolderScan, FindsALoneSetFileInAnyCase) {
    struct Case {
        const char* setFile;
        QByteArray text;
    };
    const Case cases[] = {
        {"Game.CUE", "FILE \"Game.bin\" BINARY\n"},
        {"Game.Gdi", "1\n1 0 4 2352 Game.bin 0\n"},
        {"Game.m3U", "Game.bin\n"},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        dir.write("Game.bin", "data");
        dir.write("Other.cuex", "");
        dir.write(c.setFile, c.text);
        const DiscSets sets = discSetsIn(dir.path());
        EXPECT_TRUE(sets.isMember("Game.bin")) << c.setFile;
        EXPECT_FALSE(sets.isMember("Other.cuex")) << c.setFile;
    }
}

}  // namespace
