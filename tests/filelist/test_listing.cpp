// A folder listed by its masks: name order, hidden names and lists, odd names, disc sets.

#include "filelist/DiscSets.h"
#include "filelist/FolderList.h"
#include "filelist/FolderListing.h"
#include "filelist/ListRows.h"
#include "platform/FileNames.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QHash>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The names listed; `counted`, when given, gets how many the ".hidden" list left out.
QStringList listed(const QString& folder, const QString& pattern, bool hidden = false,
                   int* counted = nullptr) {
    FolderListingOptions options;
    options.hidden = hidden;
    options.hiddenByList = counted;
    return namesOf(listFolder(folder, pattern.split(u';'), options));
}

}  // namespace

TEST(ListFolder, MasksInOrderEachInNameOrder) {
    TempFolder dir;
    // Created out of order, so the folder's own order cannot pass for name order.
    for (const char* n :
         {"z.zip", "c.Zip", "b.zip", "a.ZIP", "m.smc", "k.SMC", "other.txt", "zip", "x.zipx"})
        dir.write(QString::fromLatin1(n));
    dir.mkdir(QStringLiteral("folder.zip"));

    const QStringList zips = {"a.ZIP", "b.zip", "c.Zip", "z.zip"};
    const QStringList smcs = {"k.SMC", "m.smc"};
    const std::pair<const char*, QStringList> cases[] = {
        {"*.zip;*.smc", zips + smcs},
        {"*.smc;*.zip", smcs + zips},
        {"*.zip;*.ZIP", zips + zips},
        {"*.zip; *.smc", zips},  // the blank is part of the second mask
        {"*.zip;", zips},
        {"*.7z", {}},
        {"", {}},
        {"*.*",
         {"a.ZIP", "b.zip", "c.Zip", "k.SMC", "m.smc", "other.txt", "x.zipx", "z.zip", "zip"}},
    };
    for (const auto& [pattern, expected] : cases)
        EXPECT_EQ(listed(dir.path(), QString::fromLatin1(pattern)), expected) << pattern;
    EXPECT_TRUE(listed(dir.file("no such folder"), "*.*").isEmpty());
}

TEST(ListFolder, NameOrderIgnoresLetterCase) {
    // Two names (UTF-8) and the sign of their order.
    const std::tuple<const char*, const char*, int> cases[] = {
        {"pitfall!.bin", "River Raid.bin", -1},
        {"ABC", "abd", -1},
        {"abc", "ABC", 0},          // only the exact units tell them apart...
        {"Game 10", "Game 9", -1},  // digits by character, not by number
        {"Game", "Game 1", -1},     // a prefix first
        {"1942.zip", "a.zip", -1},
        {"Zelda", "_menu", -1},  // "_" comes after the capitals
        // clang-format off
        {"Zelda", "\xc3\x89" "clair", -1},  // so do accented capitals...
        {"\xc3\xa9" "clair", "\xc3\x89" "CLAIS", -1},  // ...equal to their small letters
        // clang-format on
        {"caf\xc3\xa9", "CAF\xc3\x89", 0},
        {"GAME (u)", "Game (U)", -1},
        // Units, not characters: an emoji's first unit, then escaped bytes, then private use.
        {"\xf0\x9f\x98\x80", "\xff\xfe", -1},
        {"\xff\xfe", "\xee\x80\x80", -1},
        {"b\xfe", "b\xff", -1},
    };
    for (const auto& [first, second, sign] : cases) {
        const QString a = platform::decodeName(first), b = platform::decodeName(second);
        const int ab = compareNamesIgnoringCase(a, b), ba = compareNamesIgnoringCase(b, a);
        if (sign == 0) {
            EXPECT_NE(ab, 0) << first;  // ...so no two names ever tie
            EXPECT_EQ(ab<0, ba> 0) << first;
        } else {
            EXPECT_EQ(ab < 0 ? -1 : 1, sign) << first << " " << second;
            EXPECT_EQ(ba < 0 ? -1 : 1, -sign) << first << " " << second;
        }
    }
}

// The listing's sort keys, built once per name, order names exactly as the comparison does.
TEST(ListFolder, ListedOrderIsTheNameComparisonsOrder) {
    TempFolder dir;
    const raw::RemoveTree cleanup(dir.path());
    // clang-format off
    const char* const names[] = {
        "Game 00001 (U) [!].smc", "game 00001 (U) [!].smc", "GAME 00001 (u) [!].smc",
        "Game 0001 (U).smc", "Game 00010 (U) [!].smc", "Game 9.smc", "Game 10.smc", "Game.smc",
        "Game", "Gam", "Gamez.smc", "Game_.smc", "Game[.smc", "Game`.smc", "Game{.smc", "1942.smc",
        " leading blank.smc", "~tilde.smc", "_menu.smc", "Zelda.smc", "\xc3\x89" "clair.smc",
        "\xc3\xa9" "clair.smc", "\xc3\xa9" "clairs.smc", "caf\xc3\xa9.smc", "CAF\xc3\x89.smc",
        "cafe.smc", "Stra\xc3\x9f" "e.smc", "STRASSE.smc", "\xc3\xbfy.smc", "\xc5\xb8y.smc",
        "\xce\xa3\xcf\x83\xcf\x82.smc",
        "Zelda no Densetsu \xe3\x82\xbc\xe3\x83\xab\xe3\x83\x80 (J).smc",
        "Zelda no Densetsu \xe3\x82\xbc (J).smc", "Zelda no Densetsu (J).smc",
        "\xf0\x9f\x98\x80 smile.smc", "\xef\xbf\xbd.smc", "\xee\x80\x80 private.smc", "b\xff.smc",
        "b\xfe.smc", "B\xff.smc", "b\xc3.smc", "\xff\xfe\xfd.smc", "x\x01y.smc",
        "\xc3\x80\xc3\x80\xc3\x80\xc3\x80.smc", "\xc3\x80\xc3\x80\xc3\x80\xc3\xa0.smc",
        "\xc3\xa0\xc3\xa0\xc3\xa0\xc3\xa0.smc", "aaaaaaaa", "aaaaaaaa.smc", "abcdefgh", "ABCDEFGH",
        "abcdefgh.", "abcdefghijklmnop", "ABCDEFGHIJKLMNOP.smc", "ABCDEFGHIJKLMNOP", "Game 000",
        "game 000", "GAME 0001", "AAAAAAAA.smc",
    };
    // clang-format on
    QStringList expected;
    for (const char* name : names) {
        const QString decoded = platform::decodeName(QByteArray(name));
        ASSERT_TRUE(raw::write(dir.path() + u'/' + decoded, {})) << name;
        expected.append(decoded);
    }
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return compareNamesIgnoringCase(a, b) < 0;
    });
    EXPECT_EQ(listed(dir.path(), "*"), expected);
}

// Dot files and ".hidden" names show only when asked for; the latter are counted, dot files not.
TEST(ListFolder, HiddenNamesOnlyWhenAskedForAndCounted) {
    TempFolder dir;
    for (const char* n : {"seen.sms", ".dot.sms", "a.sms", "b.sms", "B.sms", "c.nes"})
        dir.write(QString::fromLatin1(n));
    dir.write(QStringLiteral(".hidden"), "a.sms\r\nb.sms\n\nc.nes\ngone.sms\n");
    // The masks, whether hidden files show, how many ".hidden" left out, the names listed.
    const std::tuple<const char*, bool, int, QStringList> cases[] = {
        {"*.sms", false, 2, {"B.sms", "seen.sms"}},
        {"*.nes", false, 1, {}},
        {"*.sms;*.nes", false, 3, {"B.sms", "seen.sms"}},
        {"*.gb", false, 0, {}},
        {"*.sms", true, 0, {".dot.sms", "a.sms", "B.sms", "b.sms", "seen.sms"}}};
    for (const auto& [masks, hidden, count, names] : cases) {
        int counted = -1;
        EXPECT_EQ(listed(dir.path(), masks, hidden, &counted), names) << masks << hidden;
        EXPECT_EQ(counted, count) << masks << hidden;
    }
    EXPECT_EQ(listed(dir.path(), "*", true).count(QStringLiteral(".hidden")), 1);
}

TEST(ListFolder, NamesThatAreNotUtf8AreListedAndUsable) {
    TempFolder dir;
    const raw::RemoveTree cleanup(dir.path());
    const QByteArray onDisk = QFile::encodeName(dir.path()) + "/caf\xe9.sms";
    ASSERT_TRUE(raw::write(platform::decodeName(onDisk), "12345"));
    const QStringList names = listed(dir.path(), "*.SMS");
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(platform::encodeName(dir.path() + u'/' + names.first()), onDisk);

    ListModel model;
    FolderList files(model);
    files.setPath(dir.path());
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.subItemText(0, 4), "5");
}

TEST(HiddenList, ALinkToAListIsReadASpecialFileNeverAndAnOversizeListOnlyInPart) {
    TempFolder dir;
    for (const char* n : {"a.sms", "b.sms", "c.sms", "d.sms"})
        dir.write(QString::fromLatin1(n));
    dir.write(QStringLiteral("elsewhere"), "a.sms");  // its last line without a break
    ASSERT_TRUE(raw::link(dir.file(QStringLiteral("elsewhere")), dir.file(".hidden")));
    EXPECT_EQ(listed(dir.path(), "*.sms"), QStringList({"b.sms", "c.sms", "d.sms"}));
    // One that is no text file is never waited on nor read without end.
    const QByteArray list = platform::encodeName(dir.file(QStringLiteral(".hidden")));
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo);
        QFile::remove(dir.file(".hidden"));
        ASSERT_EQ(
            fifo ? ::mkfifo(list.constData(), 0644) : ::symlink("/dev/zero", list.constData()), 0);
        EXPECT_EQ(readHiddenList(dir.path()), QStringList());
        EXPECT_EQ(listed(dir.path(), "*.sms").size(), 4);
    }
    QFile::remove(dir.file(".hidden"));

    // "b.sms" within the limit, "c.sms" cut through by it ("c.s" is another name), "d.sms" past it.
    const qint64 limit = kHiddenListMaxBytes;
    QByteArray big = "b.sms\n" + QByteArray(limit - 6 - 4, 'x') + "\nc.sms\nd.sms\n";
    ASSERT_EQ(big.indexOf("c.sms"), limit - 3);
    dir.write(QStringLiteral("c.s"));
    dir.write(QStringLiteral(".hidden"), big);
    EXPECT_EQ(readHiddenList(dir.path()).size(), 2);
    EXPECT_EQ(listed(dir.path(), "*.s*"), QStringList({"a.sms", "c.s", "c.sms", "d.sms"}));
    // A list far over the limit costs the limit alone; its one line, cut, counts for nothing.
    dir.sparse(QStringLiteral(".hidden"), qint64(1) << 32);
    EXPECT_EQ(readHiddenList(dir.path()), QStringList());
}

TEST(DiscSetFiles, NameTheirMembers) {
    using Parse = QStringList (*)(QByteArrayView);
    const QByteArray odd = "Caf\xE9 (Track 1).bin";  // Latin-1, not UTF-8
    // clang-format off
    const std::tuple<const char*, Parse, QByteArray, QStringList> cases[] = {
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
    for (const auto& [what, parse, text, files] : cases)
        EXPECT_EQ(parse(text), files) << what;
}

TEST(DiscSetGrouping, OneRowPerSet) {
    // Every file of the folder with its bytes; the files that keep a row, sorted; what is missing.
    // clang-format off
    const std::tuple<const char*, QHash<QString, QByteArray>, QStringList, QHash<QString, QString>>
        cases[] = {
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
    for (const auto& [what, files, rows, incomplete] : cases) {
        SCOPED_TRACE(what);
        const DiscSets sets = groupDiscSets(
            files.keys(),
            [&](const QString& name) -> std::optional<QByteArray> { return files.value(name); },
            [](const QString&) { return false; });
        std::vector<ListedFile> listed;
        for (const QString& name : files.keys())
            listed.push_back({name});
        dropSetMembers(listed, sets);
        QStringList kept = namesOf(listed);
        kept.sort();
        EXPECT_EQ(kept, rows);
        EXPECT_EQ(incompleteSetsOf(sets), incomplete);
    }
}

// A .cue with its tracks and an .m3u with its discs are a row each, also with a file missing.
TEST(DiscSetFolder, ListsEachGameOnceAndNoTrackAsACartridge) {
    TempFolder dir;
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
    ListModel model;
    const auto rows = [&](const QString& masks) {
        FolderList list(model);
        list.initPattern(masks);
        list.setPath(dir.path());
        QStringList out = listNames(model);
        out.sort();
        return out;
    };
    EXPECT_EQ(rows("*.bin;*.cue;*.m3u"), QStringList({"Alpha.cue", "Beta.m3u"}));
    // An Atari emulator takes .bin files: the tracks are no cartridges.
    EXPECT_EQ(rows("*.zip;*.a26;*.bin;*.z26"), QStringList());

    ASSERT_TRUE(QFile::remove(dir.file("Beta (Disc 2) (Track 2).bin")));
    ASSERT_EQ(rows("*.bin;*.cue;*.m3u"), QStringList({"Alpha.cue", "Beta.m3u"}));
    EXPECT_FALSE(model.subItemText(0, 2).endsWith("(files missing)"));
    EXPECT_TRUE(model.subItemText(1, 2).endsWith("(files missing)"));
    EXPECT_EQ(model.incompleteSetText("Beta.m3u"), "Missing: Beta (Disc 2) (Track 2).bin");
}

TEST(DiscSetFolderScan, FindsALoneSetFileInAnyCase) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"Game.CUE", "FILE \"Game.bin\" BINARY\n"},
        {"Game.Gdi", "1\n1 0 4 2352 Game.bin 0\n"},
        {"Game.m3U", "Game.bin\n"},
    };
    for (const auto& [setFile, text] : cases) {
        TempFolder dir;
        dir.write("Game.bin", "data");
        dir.write("Other.cuex", "");
        dir.write(setFile, text);
        // Read from the folder, and from its entries as the listing read them.
        const auto entries = platform::folderEntryKinds(dir.path());
        ASSERT_TRUE(entries);
        const PrelistedFiles everything =
            prelist(dir.path() + u'/', *entries, nameOrderOf(*entries));
        for (const DiscSets& sets :
             {discSetsIn(dir.path()), discSetsAmong(dir.path(), everything)}) {
            EXPECT_TRUE(sets.isMember("Game.bin")) << setFile;
            EXPECT_FALSE(sets.isMember("Other.cuex")) << setFile;
        }
        EXPECT_EQ(everything.files.size(), 3u);  // left as it was
    }
}
