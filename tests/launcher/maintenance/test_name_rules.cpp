// Names for renaming: dump tags, stripped text, a batch's closing words and canonical names.

#include "launcher/maintenance/CanonicalName.h"
#include "launcher/maintenance/FileRenaming.h"
#include "support/FakeFolderIdentifier.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using fakes::identification;
using identify::Verdict;

// Ctrl (2) and Alt (4) alone choose the bad-dump tags; every other state the good-dump tag.
TEST(NameRules, DumpTagForEachModifierState) {
    const char* const tags[8] = {" [!]", " [!]", " [b1]", " [!]", " [b2]", " [!]", " [!]", " [!]"};
    for (int shift = 0; shift < 8; ++shift) {
        const QString tagged = "Game (U)" + QString(tags[shift]) + ".smc";
        EXPECT_EQ(dumpTagName("Game (U).smc", shift), tagged) << shift;
        EXPECT_EQ(dumpTagName(tagged, shift), "Game (U).smc") << shift;
    }
}

TEST(NameRules, DumpTagsAndStrippedText) {
    // The name, the modifier state (-1: strip the text instead), the text, the name wanted.
    // clang-format off
    const std::tuple<const char*, int, const char*, const char*> cases[] = {
        {"Game [b1].smc", 4, "", "Game [b1] [b2].smc"}, {"Game", 0, "", "Game [!]"},
        {"A [!] B [!].smc", 0, "", "A B.smc"},
        {"Super_Mario.World_(J).smc", -1, "(J)", "Super Mario World.smc"},
        {"Mario_Kart.smc", -1, "_", "Mario Kart.smc"}, {"a.b.c.smc", -1, ".", "a b c.smc"},
        {"Game (j) .smc", -1, "(J)", "Game.smc"},      {"README", -1, "me", "READ"},
        // No blank left before the extension, doubled or leading; a name left empty stays.
        {"Combat_(1977)_Atari.bin", -1, "Atari", "Combat (1977).bin"},
        {"Combat_Atari_(1977).bin", -1, "Atari", "Combat (1977).bin"},
        {"Atari_Combat.bin", -1, "atari", "Combat.bin"},
        {"Combat  Atari   1977.bin", -1, "Atari", "Combat 1977.bin"},
        {"Combat_Atari", -1, "Atari", "Combat"},
        {"Atari.bin", -1, "Atari", "Atari.bin"},
        {"_Atari_.bin", -1, "Atari", "_Atari_.bin"},
        {"Pitfall!_(1982)_(Activision).a26", -1, "(Activision)", "Pitfall! (1982).a26"},
        // The text is tidied as the name is: its dots and underscores are blanks there.
        {"River Raid [www.site.example].a26", -1, "[www.site.example]", "River Raid.a26"},
        {"River_Raid_[www_site_example].a26", -1, "[WWW.site.example]", "River Raid.a26"},
        {"Game (v1.1).a26", -1, "(v1.1)", "Game.a26"},
        // A text that tidies to blanks alone only tidies: it must not join the words.
        {"Super Mario World.smc", -1, "._", "Super Mario World.smc"},
    };
    // clang-format on
    for (const auto& [name, shift, text, expected] : cases) {
        const QString got = shift < 0 ? strippedName(name, text) : dumpTagName(name, shift);
        EXPECT_EQ(got, QString::fromUtf8(expected)) << name << " " << shift;
    }
}

TEST(NameRules, StripTextTakesTheNamesHoldingTheTextAsTypedOrTidied) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"Game [www.site.example].a26", "[www.site.example]", true},
        {"Game_[www_site_example].a26", "[www.site.example]", true},
        {"Game_(J).smc", "_(j)", true},
        {"Game (J).smc", "_(J)", true},
        {"Game.a26", "e.a", true},  // as typed: the name is tidied, the text not found
        {"Game.a26", "(J)", false},
        {"Super Mario.smc", "_", false},
        {"Super Mario.smc", "", false},
    };
    for (const auto& [name, text, holds] : cases)
        EXPECT_EQ(nameHoldsText(name, text), holds) << name << " " << text;
}

// A batch's closing words: how many, and every name numbered, so that none is given silently.
TEST(NameRules, ABatchSaysHowManyAndWhichNamesWereNumbered) {
    const std::vector<GameRename> asked{{"a_x.bin", "a.bin"}, {"b_x.bin", "b.bin"}};
    EXPECT_EQ(renamedCountText(asked, {}), "0 Files Renamed");
    EXPECT_EQ(renamedCountText(asked, {{"a_x.bin", "a.bin"}}), "1 File Renamed");
    EXPECT_EQ(renamedCountText(asked, {{"a_x.bin", "a.bin"}, {"b_x.bin", "b(1).bin"}}),
              "2 Files Renamed\n'b.bin' is taken, and nothing is ever overwritten: 'b_x.bin' is "
              "now 'b(1).bin'.");

    std::vector<GameRename> many, given;
    for (int i = 0; i < 12; ++i) {
        const QString n = QString::number(i);
        many.push_back({n + "_x.bin", "g.bin"});
        given.push_back({n + "_x.bin", "g(" + n + ").bin"});
    }
    const QStringList lines = renamedCountText(many, given).split('\n');
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.first(), "12 Files Renamed");
    EXPECT_EQ(lines.last(), "... and 2 more were given another name.");
}

TEST(CanonicalNameFor, OnlyVerifiedGamesWithUsableNames) {
    const auto verified = [](const QString& name, const QString& member = {}) {
        return identification(Verdict::Verified, name, member);
    };
    identify::Identification noEntry;
    noEntry.verdict = Verdict::Verified;
    identify::Identification unreadable;
    unreadable.problem = "Permission denied";
    const QString e125 = QString(125, u'\u00e9') + ".nes";
    // What was found, the name it gives (empty: refused) and a part of the reason.
    // clang-format off
    const std::tuple<const char*, identify::Identification, QString, QString> cases[] = {
        {"verified", verified("Mario (World).nes"), "Mario (World).nes", ""},
        {"name as it stands", verified("mario.NES"), "mario.NES", ""},
        {"zip: stem + .zip", verified("Mario (World).nes", "x.nes"), "Mario (World).zip", ""},
        {"zip, dot in the title", verified("Mario Bros. (W)", "x"), "Mario Bros. (W).zip", ""},
        {"crc only", identification(Verdict::CrcOnly, "m.nes"), "", "SHA-1 differs"},
        {"bad dump", identification(Verdict::BadDump, "m.nes"), "", "bad dump of nes/smb"},
        {"unknown", identify::Identification(), "", "matches no entry"},
        {"unreadable", unreadable, "", "Permission denied"},
        {"no entry", noEntry, "", "no entry"},
        {"own name", verified("game.nes"), "", "already has"},
        {"empty", verified(""), "", "empty"},
        {"slash", verified("roms/m.nes"), "", "separator"},
        {"backslash", verified("roms\\m.nes"), "", "separator"},
        {"dot", verified("."), "", "folder"},
        {"dot dot", verified(".."), "", "folder"},
        {"hidden", verified(".m.nes"), "", "hide"},
        {"zip of a dot name", verified(".nes", "x"), "", "empty"},
        {"control", verified("m\tx.nes"), "", "control"},
        // Counted in bytes: 134 characters, 264 bytes; then 254 bytes.
        {"too long", verified(QString(130, u'\u00e9') + ".nes"), "", "too long"},
        {"long enough", verified(e125), e125, ""},
    };
    // clang-format on
    for (const auto& [what, found, name, saying] : cases) {
        SCOPED_TRACE(what);
        const CanonicalName got = canonicalNameFor("game.nes", found);
        EXPECT_EQ(got.name, name);
        EXPECT_EQ(got.ok(), !name.isEmpty());
        if (!saying.isEmpty()) {
            EXPECT_TRUE(got.whyNot.contains(saying)) << got.whyNot.toStdString();
        }
    }
}

// Ctrl+N's question names the entry beside the new name; nothing of it repeats the title.
TEST(CanonicalNameFor, TheEntryIsNamedWithoutRepeatingTheTitle) {
    const char* const cases[][4] = {
        // software, description, target, shown
        {"smb", "Super Mario Bros.", "Super Mario Bros. (World).nes",
         "nes/smb (Super Mario Bros.)"},
        {"Pitfall! (USA)", "Pitfall! (USA)", "Pitfall! (USA).a26", "nes"},
        {"pitfall", "Pitfall! (USA)", "Pitfall! (USA).zip", "nes/pitfall"},
        {"Pitfall (USA)", "pitfall (usa)", "Other.a26", "nes/Pitfall (USA)"},
        {"pitfall", "", "Pitfall! (USA).a26", "nes/pitfall"},
    };
    for (const auto& [software, description, target, shown] : cases) {
        identify::RomEntry entry;
        entry.source = "nes";
        entry.software = software;
        entry.description = description;
        EXPECT_EQ(entryNameText(entry, target), shown) << target;
    }
}

}  // namespace
