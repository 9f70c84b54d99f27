// The duplicate finder and the dupes tool on real folders: what stays, what goes, what is said.

#include "launcher/maintenance/DuplicateFinder.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/PrintedNames.h"
#include "support/ForwardingFiles.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>

namespace {

QByteArray bytes(int size, char salt) {
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(salt * 31 + i * 7 + (i >> 8));
    return b;
}

// The CRC-32 register without its start value and final inversion.
quint32 rawCrc(const QByteArray& data) {
    quint32 r = 0;
    for (char c : data) {
        r ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            r = (r >> 1) ^ ((r & 1) ? 0xEDB88320u : 0);
    }
    return r;
}

// Another text of the same length and CRC-32: the difference ends in its own CRC.
QByteArray collisionOf(const QByteArray& data) {
    QByteArray diff("rombard");
    const quint32 r = rawCrc(diff);
    for (int k = 0; k < 4; ++k)
        diff += char((r >> (8 * k)) & 0xFF);
    QByteArray out = data;
    for (int i = 0; i < diff.size(); ++i)
        out[out.size() - diff.size() + i] = char(out[out.size() - diff.size() + i] ^ diff[i]);
    return out;
}

class Duplicates : public ::testing::Test {
protected:
    Duplicates() {
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
    }
    ~Duplicates() override { qputenv("XDG_DATA_HOME", m_oldDataHome); }
    QString folder() const { return roms.path() + "/"; }
    QStringList trashed() const {
        return QDir(home.file("Trash/files")).entryList(QDir::Files, QDir::Name);
    }

    // Every entry of the folder, links (also dangling ones) included.
    QStringList onDisk() const {
        return QDir(roms.path()).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    }
    // A fresh folder of "name=content", "name==hard link" and "name->target" ("<out>" outside).
    void build(const QStringList& entries) {
        QDir(roms.path()).removeRecursively();
        QDir(home.file("Trash")).removeRecursively();
        QDir().mkpath(roms.path());
        for (const QString& e : entries) {
            if (e.contains("==")) {
                ASSERT_EQ(::link(QFile::encodeName(roms.file(e.section("==", 1))),
                                 QFile::encodeName(roms.file(e.section("==", 0, 0)))),
                          0)
                    << e.toStdString();
            } else if (e.contains("->")) {
                const QString target = e.section("->", 1).replace("<out>", outside.path());
                ASSERT_TRUE(QFile::link(target, roms.file(e.section("->", 0, 0))));
            } else {
                const QString content = e.section('=', 1);
                roms.write(e.section('=', 0, 0), contents.value(content, content.toUtf8()));
            }
        }
    }
    // Each report line names one file that left the folder, each one that left is named once.
    void expectReportIsWhatWent(const QStringList& before, const DuplicateSearchResult& result) {
        QStringList went = before;
        for (const QString& n : onDisk())
            went.removeAll(n);
        QStringList named;
        for (const QString& line : result.report.split('\n', Qt::SkipEmptyParts)) {
            const QString path = line.section(" -> ", 0, 0);
            EXPECT_TRUE(path.startsWith(folder())) << line.toStdString();
            named << path.mid(folder().size());
        }
        named.sort();
        EXPECT_EQ(named, went);
        EXPECT_EQ(trashed(), went);
        EXPECT_EQ(result.filesRemoved(), went.size());
        EXPECT_TRUE(result.message().startsWith(
            QString::number(went.size()) +
            (went.size() == 1 ? " Duplicate Removed.\n" : " Duplicates Removed.\n") +
            result.report));
    }

    TempFolder home;
    TempFolder roms;
    TempFolder outside;
    QMap<QString, QByteArray> contents;
    platform::LocalFileOperations files{platform::TrashPlaces{home.file("Trash"), false}};

private:
    QByteArray m_oldDataHome;
};

TEST_F(Duplicates, FilesVanishingMidRunAndAStopLoseNothingElse) {
    const QByteArray game = bytes(7000, 4);
    for (const char* n : {"a", "b", "c", "d"})
        roms.write(n, game);
    DuplicateSearchHooks hooks;
    hooks.examining = [&](int row) {
        if (row == 0) QFile::remove(roms.file("d"));  // another program takes it away
        return true;
    };
    auto result =
        findDuplicates(folder(), {"a", "b", "c", "d"}, files, DuplicateMode::Remove, hooks);
    EXPECT_EQ(onDisk(), QStringList{"a"});
    EXPECT_EQ(result.report, folder() + "c -> a\n" + folder() + "b -> a\n");

    roms.write("b", game);
    roms.write("c", game);
    int found = 0;
    hooks.examining = {};
    hooks.found = [&](int, int, int n) { found = n; };
    hooks.keepGoing = [&] { return found == 0; };  // the window closes after the first copy
    result = findDuplicates(folder(), {"a", "b", "c"}, files, DuplicateMode::Remove, hooks);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(onDisk(), (QStringList{"a", "b"}));
    EXPECT_EQ(result.copies.size(), 1u);
}

// A dry run names the copies the real run removes, in the same words.
TEST_F(Duplicates, WhichCopyStaysAndWhatGoes) {
    const QByteArray same = bytes(10000, 1);
    QByteArray lastByte = same, middleByte = same;
    lastByte[9999] = 'x';
    middleByte[9000] = 'y';
    contents = {{"@same", same},
                {"@twin", collisionOf(same)},
                {"@other", bytes(10000, 2)},
                {"@last", lastByte},
                {"@middle", middleByte}};
    // A .cue `stem` with two tracks: "=name" for a hard link of that file, nullptr for none.
    const auto set = [&](const QString& stem, const char* track1, const char* track2) {
        QStringList entries;
        QByteArray cue;
        int n = 0;
        for (const char* data : {track1, track2}) {
            const QString track = stem + QStringLiteral(" (Track %1).bin").arg(++n);
            if (data) entries << track + '=' + data;
            cue += "FILE \"" + track.toUtf8() + "\" BINARY\r\n  TRACK 0" + QByteArray::number(n) +
                   " MODE1/2352\r\n";
        }
        contents["@" + stem] = cue;
        return entries << stem + ".cue=@" + stem;
    };
    const QStringList beta = set("Beta", "one", "two");
    struct Case {
        const char* what;
        QStringList entries;             // as build() takes them; empty: each listed name holds "g"
        QStringList listed, shots = {};  // shots: names with a screenshot of their own
        QString report = {};             // with "<>" for the folder; what it names went
    };
    // clang-format off
    const Case cases[] = {
        {"the first listed stays", {"c=@same", "a=@same", "b=@same"}, {"c", "a", "b"}, {},
         "<>b -> c\n<>a -> c\n"},
        {"other bytes", {"a=@same", "b=@other", "c=@last"}, {"a", "b", "c"}},
        {"a CRC-32 alike", {"a=@same", "b=@twin", "c=@middle", "d=@last"}, {"a", "b", "c", "d"}},
        {"a pair with a CRC-32 alike", {"a=@same", "b=@twin"}, {"a", "b"}},
        {"a true copy beside a twin", {"a=@same", "b=@twin", "c=@same"}, {"a", "b", "c"}, {},
         "<>c -> a\n"},
        {"empty files", {"a=", "b="}, {"a", "b"}, {}, "<>b -> a\n"},
        {"one name listed twice is one file", {"a=@same"}, {"a", "a"}},
        {"an empty descriptor kept, its empty game", {"x.jad=", "x.jar="}, {"x.jad", "x.jar"}},
        {"an empty game kept, its empty descriptor", {"x.jad=", "x.jar="}, {"x.jar", "x.jad"}},
        {"a third empty file goes, the pair stays", {"x.jad=", "x.jar=", "y.bin="},
         {"x.jad", "x.jar", "y.bin"}, {}, "<>y.bin -> x.jad\n"},
        {"descriptors listed first: b.jad stays and so does its game",
         {"b.jad=d", "c.jad=d", "a.jar=g", "b.jar=g"}, {"b.jad", "c.jad", "a.jar", "b.jar"}, {},
         "<>c.jad -> b.jad\n"},
        {"games listed first: b.jad goes with b.jar, and c.jad, left alone, stays",
         {"b.jad=d", "c.jad=d", "a.jar=g", "b.jar=g"}, {"a.jar", "b.jad", "b.jar", "c.jad"}, {},
         "<>b.jar -> a.jar\n<>b.jad -> a.jar (.jad of b.jar)\n"},
        {"the copy's descriptor is another name of the kept game's",
         {"a.jar=g", "a.jad=d", "b.jar=g", "b.jad==a.jad"}, {"a.jar", "b.jar"}},
        {"the kept game's descriptor is never a copy to remove", {"a.jar=g", "a.jad=d", "z.jad=d"},
         {"z.jad", "a.jar", "a.jad"}},
        {"a lone descriptor equal to the kept game's goes", {"a.jar=g", "a.jad=d", "z.jad=d"},
         {"a.jar", "a.jad", "z.jad"}, {}, "<>z.jad -> a.jad\n"},
        {"equal descriptors of two games both stay", {"a.jad=d", "b.jad=d", "a.jar=g1", "b.jar=g2"},
         {"a.jad", "b.jad", "a.jar", "b.jar"}},
        {"the first row a link to a file outside", {"first-><out>/z", "real=g"}, {"first", "real"}},
        {"the first row a link to a later copy", {"first->b", "a=g", "b=g"}, {"first", "a", "b"}},
        {"a link's target stays, other copies go", {"link->b", "a=g", "b=g", "c=g"},
         {"link", "a", "b", "c"}, {}, "<>c -> a\n"},
        {"other names of the kept file stay", {"a=g", "hard==a", "b=g"}, {"hard", "a", "b"}, {},
         "<>b -> hard\n"},
        {"a screenshot first", {}, {"Rainbow Drift copy.bin", "Rainbow Drift.bin"}, {"Rainbow Drift.bin"},
         "<>Rainbow Drift copy.bin -> Rainbow Drift.bin (has a screenshot)\n"},
        {"a good dump tag", {}, {"Game 0007 copy.bin", "Game 0007 [!].bin"}, {},
         "<>Game 0007 copy.bin -> Game 0007 [!].bin (good dump [!])\n"},
        {"a screenshot before the list", {}, {"a.bin", "b [!].bin", "c.bin"}, {"c.bin"},
         "<>b [!].bin -> c.bin (has a screenshot)\n<>a.bin -> c.bin (has a screenshot)\n"},
        {"two good dumps: the list", {}, {"a.bin", "b [!].bin", "c [!].bin"}, {},
         "<>c [!].bin -> b [!].bin\n<>a.bin -> b [!].bin (good dump [!])\n"},
        // c has a picture of its own too: it stays, or the picture would lose its game.
        {"two with screenshots", {}, {"a.bin", "b [!].bin", "c.bin"}, {"a.bin", "c.bin"},
         "<>b [!].bin -> a.bin (has a screenshot)\n"},
        {"equal sets: the good dump stays, the other goes whole",
         beta + set("Beta [!]", "one", "two"), {"Beta.cue", "Beta [!].cue"}, {},
         "<>Beta.cue -> Beta [!].cue (good dump [!])\n"
         "<>Beta (Track 1).bin -> Beta [!].cue (file of Beta.cue)\n"
         "<>Beta (Track 2).bin -> Beta [!].cue (file of Beta.cue)\n"},
        {"one track differs", beta + set("Beta [!]", "one", "tw0"), {"Beta.cue", "Beta [!].cue"}},
        {"a loose twin of a track takes nothing and goes for nothing",
         beta + QStringList{"loose.bin=one", "other.bin=one"}, {"Beta.cue", "loose.bin", "other.bin"},
         {}, "<>other.bin -> loose.bin\n"},
        {"a track missing", beta + set("Gamma", "one", nullptr), {"Beta.cue", "Gamma.cue"}},
        {"a track shared by a hard link", beta + set("Gamma", "one", "=Beta (Track 2).bin"),
         {"Beta.cue", "Gamma.cue"}},
    };
    // clang-format on
    outside.write("z", "g");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList entries = c.entries;
        for (const QString& n : c.entries.isEmpty() ? c.listed : QStringList())
            entries << n + "=g";
        build(entries);
        const QStringList before = onDisk();
        const QString report = QString(c.report).replace("<>", folder());
        QStringList asked;
        const auto hasShot = [&](const QString& n) {
            asked << n;
            return c.shots.contains(n);
        };
        EXPECT_EQ(
            findDuplicates(folder(), c.listed, files, DuplicateMode::DryRun, {}, hasShot).report,
            report);
        EXPECT_EQ(onDisk(), before);
        const auto result =
            findDuplicates(folder(), c.listed, files, DuplicateMode::Remove, {}, hasShot);
        EXPECT_EQ(result.report, report);
        EXPECT_TRUE(result.failures.empty());
        expectReportIsWhatWent(before, result);
        for (const QString& n : asked)
            EXPECT_TRUE(c.listed.contains(n)) << "asked by name, not by path";
        EXPECT_EQ(outside.read("z"), "g");
    }
}

// Sets a file's modification time to the very nanosecond.
bool setModified(const QString& path, const timespec& when) {
    const timespec times[2] = {{0, UTIME_OMIT}, when};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

TEST_F(Duplicates, ACopyOrKeptFileChangedAfterTheComparisonStays) {
    const QByteArray game = bytes(6000, 5);
    QByteArray other = game;
    other[3000] = 'q';
    const timespec long_ago{1000000000, 123456789};
    // What changes right after the comparison, and whether the copy still goes.
    const std::tuple<const char*, std::function<void()>, bool> cases[] = {
        {"nothing changed", [] {}, true},
        {"another file of the same size and time put in the copy's place",
         [&] {
             roms.write("b.new", other);
             setModified(roms.file("b.new"), long_ago);
             ::rename(QFile::encodeName(roms.file("b.new")), QFile::encodeName(roms.file("b")));
         },
         false},
        {"a link to the kept file put in the copy's place",
         [&] {
             QFile::remove(roms.file("b"));
             QFile::link(roms.file("a"), roms.file("b"));
         },
         false},
        {"the copy's time moved by a nanosecond alone",
         [&] {
             setModified(roms.file("b"), {long_ago.tv_sec, long_ago.tv_nsec + 1});
         },
         false},
        {"the copy written to in place", [&] { roms.write("b", other); }, false},
        {"the copy grown", [&] { roms.write("b", game + "x"); }, false},
        {"the kept file written to in place", [&] { roms.write("a", other); }, false},
    };
    for (const auto& [what, change, copyGoes] : cases) {
        SCOPED_TRACE(what);
        build({});
        roms.write("a", game);
        roms.write("b", game);
        // Long ago, so that any write now gives another time.
        for (const char* n : {"a", "b"})
            ASSERT_TRUE(setModified(roms.file(n), long_ago));
        bool changed = false;
        DuplicateSearchHooks hooks;
        // A pair is compared without checksums: the first check is right after the comparison.
        hooks.keepGoing = [&] {
            if (!std::exchange(changed, true)) change();
            return true;
        };
        const QStringList before = onDisk();
        const auto result =
            findDuplicates(folder(), {"a", "b"}, files, DuplicateMode::Remove, hooks);
        EXPECT_TRUE(changed);
        EXPECT_EQ(roms.exists("b"), !copyGoes);
        EXPECT_TRUE(result.failures.empty());
        expectReportIsWhatWent(before, result);
    }
}

// The test's trash, refusing the names it is told to with the reason it is told.
class RefusingRemover : public fakes::ForwardingFiles {
public:
    RefusingRemover(platform::FileOperations& files, QStringList refused, QString reason)
        : ForwardingFiles(files), m_refused(std::move(refused)), m_reason(std::move(reason)) {}
    bool remove(const QString& path) override {
        if (m_refused.contains(path.section('/', -1))) return false;
        return ForwardingFiles::remove(path);
    }
    QString lastError() const override { return m_reason; }

private:
    QStringList m_refused;
    QString m_reason;
};

TEST_F(Duplicates, ACopyTheTrashRefusesStaysUncountedAndTheMessageSaysWhy) {
    // The files, those listed, those the trash refuses and why, the message ("<>": the folder).
    // clang-format off
    const std::tuple<QStringList, QStringList, QStringList, QString, QString> cases[] = {
        {{"a=g", "b=g", "c=g"}, {"a", "b", "c"}, {"b"}, "the trash is full",
         "1 Duplicate Removed.\n<>c -> a\n<>b was not removed: the trash is full\n"},
        {{"a=g", "b=g"}, {"a", "b"}, {"b"}, "",
         "0 Duplicates Removed.\n<>b was not removed: the reason is not known\n"},
        // The game is gone by then; its descriptor stays, and is said to.
        {{"a.jar=g", "b.jar=g", "b.jad=d"}, {"a.jar", "b.jar"}, {"b.jad"}, "no trash on this disk",
         "1 Duplicate Removed.\n<>b.jar -> a.jar\n"
         "<>b.jad was not removed: no trash on this disk\n"},
    };
    // clang-format on
    for (const auto& [entries, listed, refused, reason, message] : cases) {
        SCOPED_TRACE(message.toStdString());
        build(entries);
        const QStringList before = onDisk();
        RefusingRemover remover(files, refused, reason);
        const auto result = findDuplicates(folder(), listed, remover, DuplicateMode::Remove);
        EXPECT_EQ(result.message(), QString(message).replace("<>", folder()));
        expectReportIsWhatWent(before, result);
    }
}

// A stop during the `at`-th removal (0: never; -1: when b.jar's descriptor is looked for).
class StoppingRemover : public RefusingRemover {
public:
    StoppingRemover(platform::FileOperations& files, std::atomic<bool>& stop, int at)
        : RefusingRemover(files, {}, {}), m_stop(stop), m_at(at) {}
    bool remove(const QString& path) override {
        const bool removed = RefusingRemover::remove(path);
        if (++m_removals == m_at) m_stop = true;
        return removed;
    }
    std::optional<QString> resolve(const QString& path) override {
        if (m_at < 0 && path.endsWith("b.jad")) m_stop = true;
        return RefusingRemover::resolve(path);
    }

private:
    std::atomic<bool>& m_stop;
    int m_at;
    int m_removals = 0;
};

// A stop ends the search at its next file operation; a removal under way finishes whole.
TEST_F(Duplicates, AStopEndsTheSearchBeforeItsNextFileOperation) {
    enum class When { Sizing, Comparing, Examining, LastLookUp, FirstRemoval };
    // The files, those listed, when the stop comes, the files that went.
    // clang-format off
    const std::tuple<const char*, QStringList, QStringList, When, QStringList> cases[] = {
        {"while sizing", {"a=g", "b=g", "c=g"}, {"a", "b", "c"}, When::Sizing, {}},
        {"before the first read", {"a=g", "b=g", "c=g"}, {"a", "b", "c"}, When::Comparing, {}},
        {"before the first row's copies are compared", {"a=g", "b=g", "c=g"}, {"a", "b", "c"},
         When::Examining, {}},
        {"right before a removal", {"a.jar=g", "b.jar=g"}, {"a.jar", "b.jar"}, When::LastLookUp,
         {}},
        {"during a removal", {"a=g", "b=g", "c=g"}, {"a", "b", "c"}, When::FirstRemoval, {"c"}},
        {"during a game's removal, its descriptor following",
         {"a.jar=g", "b.jar=g", "b.jad=d", "c.jar=g", "c.jad=d"}, {"a.jar", "b.jar", "c.jar"},
         When::FirstRemoval, {"c.jad", "c.jar"}},
    };
    // clang-format on
    for (const auto& [what, entries, listed, when, went] : cases) {
        SCOPED_TRACE(what);
        build(entries);
        const QStringList before = onDisk();
        std::atomic<bool> stop = false;
        DuplicateSearchHooks hooks;
        hooks.stop = &stop;
        hooks.sized = [&](int done, int) {
            if (when == When::Sizing && done == 1) stop = true;
            return true;
        };
        hooks.comparing = [&] {
            if (when == When::Comparing) stop = true;
        };
        hooks.examining = [&](int) {
            if (when == When::Examining) stop = true;
            return true;
        };
        StoppingRemover remover(files, stop,
                                when == When::FirstRemoval ? 1
                                : when == When::LastLookUp ? -1
                                                           : 0);
        const auto result = findDuplicates(folder(), listed, remover, DuplicateMode::Remove, hooks);
        EXPECT_TRUE(result.stopped);
        EXPECT_EQ(trashed(), went);
        expectReportIsWhatWent(before, result);
    }
}

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
    // A folder named with a dash and not UTF-8; copy.txt is outside the mask, hidden.bin hidden.
    DupesTool() {
        folderName = platform::decodeName(QByteArray("-r\xe9ms"));
        folder = QFileInfo(parent.path()).canonicalFilePath() + u'/' + folderName;
        raw::mkdir(folder);
        same = QByteArray(5000, 'x');
        same[100] = 'y';
        odd = platform::decodeName(QByteArray("Odd\xff name.bin"));
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
    const QStringList others{QStringLiteral(".hidden"), QStringLiteral("copy.txt"),
                             QStringLiteral("hidden.bin")};
};

TEST_F(DupesTool, RemovesTheLaterCopiesToTheTrashAndPrintsTheReport) {
    const QStringList three{QStringLiteral("a.bin"), QStringLiteral("b.bin"), odd};
    QStringList before = others + three;
    before.sort();
    const QByteArray name = raw::bytes(folderName);
    const ToolRun dry = dupes({"--dry-run", "--", name, "*.bin"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_EQ(entries(folder), before) << "a dry run removes nothing";

    const ToolRun real = dupes({"--", name, "*.bin"});
    EXPECT_EQ(real.status, 0);
    // The one the folder lists first stays: read back from the disk.
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

    const ToolRun help = dupes({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("a line feed as \\n")) << help.out.constData();
}

TEST_F(DupesTool, RefusesWhatItCannotReadOrUnderstandAndTouchesNothing) {
    const QByteArray name = raw::bytes(folderName);
    const QByteArray file = raw::bytes(folder) + "/a.bin";
    // clang-format off
    const std::pair<const char*, QList<QByteArray>> cases[] = {
        {"missing folder", {QByteArray("missing")}}, {"a file, not a folder", {file}},
        {"no folder", {}},
        {"unknown option", {"--force", "--", name}}, {"a dash name without --", {name}},
        {"too many arguments", {"--", name, "*.bin", "*.txt"}},
    };
    // clang-format on
    QStringList before = entries(folder);
    for (const auto& [what, args] : cases) {
        SCOPED_TRACE(what);
        const ToolRun run = dupes(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(entries(folder), before);
    }
    // Run by nobody (root passes any permission), from a copy of the tool nobody can reach.
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
}

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
