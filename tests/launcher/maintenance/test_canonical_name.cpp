// Renaming a game to its entry's name, on real folders: only verified games, only names a
// file can have, the zip's own extension, never over another file, and the screenshot
// moving with the game or nothing moving.

#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/CanonicalName.h"
#include "platform/FileOperations.h"
#include "support/FakeFolderIdentifier.h"
#include "support/ForwardingFiles.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

using fakes::identification;
using identify::Verdict;

// The platform's rename, refusing to move pictures.
class PicturesStuck : public fakes::ForwardingFiles {
public:
    bool rename(const QString& from, const QString& to) override {
        return !from.endsWith(".png") && ForwardingFiles::rename(from, to);
    }
};

TEST(CanonicalNameFor, OnlyVerifiedGamesWithUsableNames) {
    struct Case {
        const char* what;
        identify::Identification found;
        QString name;    // empty: refused
        QString saying;  // a part of the reason
    };
    identify::Identification noEntry;
    noEntry.verdict = Verdict::Verified;
    identify::Identification unreadable;
    unreadable.problem = "Permission denied";
    const Case cases[] = {
        {"verified", identification(Verdict::Verified, "Mario (World).nes"), "Mario (World).nes",
         ""},
        {"name as it stands", identification(Verdict::Verified, "mario.NES"), "mario.NES", ""},
        {"zip: stem + .zip", identification(Verdict::Verified, "Mario (World).nes", "x.nes"),
         "Mario (World).zip", ""},
        {"zip, dot in the title", identification(Verdict::Verified, "Mario Bros. (World)", "x"),
         "Mario Bros. (World).zip", ""},
        {"crc only", identification(Verdict::CrcOnly, "m.nes"), "", "SHA-1 differs"},
        {"bad dump", identification(Verdict::BadDump, "m.nes"), "", "bad dump of nes/smb"},
        {"unknown", identify::Identification(), "", "matches no entry"},
        {"unreadable", unreadable, "", "Permission denied"},
        {"no entry", noEntry, "", "no entry"},
        {"own name", identification(Verdict::Verified, "game.nes"), "", "already has"},
        {"empty", identification(Verdict::Verified, ""), "", "empty"},
        {"slash", identification(Verdict::Verified, "roms/m.nes"), "", "separator"},
        {"backslash", identification(Verdict::Verified, "roms\\m.nes"), "", "separator"},
        {"dot", identification(Verdict::Verified, "."), "", "folder"},
        {"dot dot", identification(Verdict::Verified, ".."), "", "folder"},
        {"hidden", identification(Verdict::Verified, ".m.nes"), "", "hide"},
        {"zip of a dot name", identification(Verdict::Verified, ".nes", "x"), "", "empty"},
        {"control", identification(Verdict::Verified, "m\tx.nes"), "", "control"},
        {"newline", identification(Verdict::Verified, "m\n.nes"), "", "control"},
        // Counted in bytes: 134 characters, 264 bytes; then 254 bytes.
        {"too long", identification(Verdict::Verified, QString(130, u'\u00e9') + ".nes"), "",
         "too long"},
        {"long enough", identification(Verdict::Verified, QString(125, u'\u00e9') + ".nes"),
         QString(125, u'\u00e9') + ".nes", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CanonicalName got = canonicalNameFor("game.nes", c.found);
        EXPECT_EQ(got.name, c.name);
        EXPECT_EQ(got.ok(), !c.name.isEmpty());
        if (!c.saying.isEmpty()) {
            EXPECT_TRUE(got.whyNot.contains(c.saying)) << got.whyNot.toStdString();
        }
    }
}

// Ctrl+N's question names the entry beside the new name; nothing of it repeats the title.
TEST(CanonicalNameFor, TheEntryIsNamedWithoutRepeatingTheTitle) {
    struct Case {
        const char *software, *description, *target, *shown;
    };
    const Case cases[] = {
        {"smb", "Super Mario Bros.", "Super Mario Bros. (World).nes",
         "nes/smb (Super Mario Bros.)"},
        {"Pitfall! (USA)", "Pitfall! (USA)", "Pitfall! (USA).a26", "nes"},
        {"pitfall", "Pitfall! (USA)", "Pitfall! (USA).zip", "nes/pitfall"},
        {"Pitfall (USA)", "pitfall (usa)", "Other.a26", "nes/Pitfall (USA)"},
        {"pitfall", "", "Pitfall! (USA).a26", "nes/pitfall"},
    };
    for (const Case& c : cases) {
        identify::RomEntry entry;
        entry.source = "nes";
        entry.software = c.software;
        entry.description = c.description;
        EXPECT_EQ(entryNameText(entry, c.target), c.shown) << c.target;
    }
}

TEST(RenameToCanonicalName, MovesTheGameAndItsScreenshotNeverOverAnotherFile) {
    struct Case {
        const char* what;
        QStringList roms;  // each file's content is its name
        QString romName, member;
        bool picturesStuck = false;
        std::optional<QString> given;
        QStringList after;  // "path: content" of every file
        Verdict verdict = Verdict::Verified;
    };
    const QStringList stay{"roms/game.nes: game.nes", "shots/game.png: picture"};
    // clang-format off
    const Case cases[] = {
        {"plain", {"game.nes"}, "Mario.nes", "", false, "Mario.nes",
         {"roms/Mario.nes: game.nes", "shots/Mario.png: picture"}},
        {"zip", {"game.nes"}, "Mario.nes", "m.nes", false, "Mario.zip",
         {"roms/Mario.zip: game.nes", "shots/Mario.png: picture"}},
        // A taken name gives the next free one, as with F2 (whose rules say which).
        {"taken", {"game.nes", "Mario.nes"}, "Mario.nes", "", false, "Mario(1).nes",
         {"roms/Mario(1).nes: game.nes", "roms/Mario.nes: Mario.nes", "shots/Mario(1).png: picture"}},
        // The screenshot cannot follow: the game keeps its name.
        {"picture stuck", {"game.nes"}, "Mario.nes", "", true, std::nullopt, stay},
        // Refused games stay where they are.
        {"crc only", {"game.nes"}, "Mario.nes", "", false, std::nullopt, stay, Verdict::CrcOnly},
        {"bad dump", {"game.nes"}, "Mario.nes", "", false, std::nullopt, stay, Verdict::BadDump},
        {"a name out of the folder", {"game.nes"}, "../Mario.nes", "", false, std::nullopt, stay},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emu;
        for (const QString& n : c.roms)
            emu.write("roms/" + n, n.toUtf8());
        emu.write("shots/game.png", "picture");
        ScreenshotSearch search;
        PicturesStuck stuck;
        platform::LocalFileOperations local;
        platform::FileOperations& files =
            c.picturesStuck ? static_cast<platform::FileOperations&>(stuck) : local;
        const CanonicalRename done = renameGameToCanonicalName(
            files, emu.file("roms/game.nes"), identification(c.verdict, c.romName, c.member),
            picturesIn(search, {emu.file("shots/")}));
        EXPECT_EQ(done.given, c.given);
        EXPECT_EQ(done.whyNot.isEmpty(), c.given.has_value()) << (done.whyNot).toStdString();
        EXPECT_EQ(filesUnder(emu.path()), c.after);
    }
}

}  // namespace
