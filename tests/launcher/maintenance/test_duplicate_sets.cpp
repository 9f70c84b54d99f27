// Disc sets in the duplicate search, on real folders: sets compare whole and go whole, and
// no file of a set goes as the copy of a loose file.

#include "launcher/maintenance/DuplicateFinder.h"
#include "platform/FileOperations.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A .cue named `stem` + ".cue" with two tracks "<stem> (Track N).bin" holding `tracks`.
void writeSet(TempFolder& dir, const QString& stem, const QByteArray& track1,
              const QByteArray& track2) {
    QByteArray cue;
    int n = 0;
    for (const QByteArray& data : {track1, track2}) {
        const QString track = stem + QStringLiteral(" (Track %1).bin").arg(++n);
        dir.write("roms/" + track, data);
        cue += "FILE \"" + track.toUtf8() + "\" BINARY\r\n  TRACK 0" + QByteArray::number(n) +
               " MODE1/2352\r\n";
    }
    dir.write("roms/" + stem + ".cue", cue);
}

TEST(DuplicateSets, CompareWholeAndGoWhole) {
    struct Case {
        const char* what;
        std::function<void(TempFolder&)> make;
        QStringList names;  // the rows
        QStringList gone;   // removed from the folder
        QString report;     // with "<>" for the folder
    };
    const auto twoSets = [](const QByteArray& lastTrack) {
        return [=](TempFolder& dir) {
            writeSet(dir, "Beta", "one", "two");
            writeSet(dir, "Beta [!]", "one", lastTrack);
        };
    };
    const QStringList copy{"Beta (Track 1).bin", "Beta (Track 2).bin", "Beta.cue"};
    const Case cases[] = {
        {"equal sets: the good dump stays, the other goes whole",
         twoSets("two"),
         {"Beta.cue", "Beta [!].cue"},
         copy,
         "<>Beta.cue -> Beta [!].cue (good dump [!])\n"
         "<>Beta (Track 1).bin -> Beta [!].cue (file of Beta.cue)\n"
         "<>Beta (Track 2).bin -> Beta [!].cue (file of Beta.cue)\n"},
        {"one track differs", twoSets("tw0"), {"Beta.cue", "Beta [!].cue"}, {}, ""},
        {"a loose twin of a track takes nothing and goes for nothing",
         [](TempFolder& dir) {
             writeSet(dir, "Beta", "one", "two");
             dir.write("roms/loose.bin", "one");
             dir.write("roms/other.bin", "one");
         },
         {"Beta.cue", "loose.bin", "other.bin"},
         {"other.bin"},
         "<>other.bin -> loose.bin\n"},
        {"a track missing",
         [](TempFolder& dir) {
             writeSet(dir, "Beta", "one", "two");
             writeSet(dir, "Gamma", "one", "two");
             QFile::remove(dir.file("roms/Gamma (Track 2).bin"));
         },
         {"Beta.cue", "Gamma.cue"},
         {},
         ""},
        {"a track shared by a hard link",
         [](TempFolder& dir) {
             writeSet(dir, "Beta", "one", "two");
             writeSet(dir, "Gamma", "one", "two");
             QFile::remove(dir.file("roms/Gamma (Track 2).bin"));
             ::link(dir.file("roms/Beta (Track 2).bin").toUtf8().constData(),
                    dir.file("roms/Gamma (Track 2).bin").toUtf8().constData());
         },
         {"Beta.cue", "Gamma.cue"},
         {},
         ""},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        c.make(dir);
        const QString roms = dir.file("roms/");
        const QStringList before = QDir(roms).entryList(QDir::Files, QDir::Name);
        platform::LocalFileOperations files(platform::TrashPlaces{dir.file("Trash"), false});
        const DuplicateSearchResult dry =
            findDuplicates(roms, c.names, files, DuplicateMode::DryRun);
        EXPECT_EQ(dry.filesRemoved(), c.gone.size()) << c.what;
        EXPECT_EQ(dry.report, QString(c.report).replace("<>", roms)) << c.what;
        const DuplicateSearchResult result =
            findDuplicates(roms, c.names, files, DuplicateMode::Remove);
        QStringList gone = before;
        for (const QString& left : QDir(roms).entryList(QDir::Files, QDir::Name))
            gone.removeOne(left);
        QStringList expected = c.gone;
        gone.sort();
        expected.sort();
        EXPECT_EQ(gone, expected) << c.what;
        EXPECT_EQ(result.filesRemoved(), c.gone.size()) << c.what;
        EXPECT_TRUE(result.failures.empty()) << c.what;
    }
}

}  // namespace
