#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/FolderNameIndex.h"
#include "platform/FolderSnapshot.h"
#include "platform/PrintedNames.h"
#include "platform/PropertyBag.h"
#include "platform/SettingsStore.h"
#include "platform/Wildcard.h"

#include "support/Forked.h"
#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace {

TEST(Settings, ReadsDefaultsWritesSectionsAndKeepsTextExactly) {
    TempFolder dir;
    const QString oddFolder = "/roms/" + platform::decodeName("emu \xe9\xff");
    // Written in this order; "" for the value read back: no section, nothing written.
    const struct {
        const char *section, *key;
        QString value, readBack;
    } saved[] = {
        {"zsnesw.exe", "cmdline", "-fullscreen /x \"a b\"", "-fullscreen /x \"a b\""},
        {"zsnesw.exe", "Maximized", "False", "True"},  // saved again below
        {"ZINC.EXE", "file", "12", "12"},
        {"", "orphan", "x", "none"},
        {"zsnes.exe", "roms", oddFolder, oddFolder},
        {"zsnes.exe", "cmdline", "-fs é", "-fs é"},
    };
    auto store = std::make_unique<platform::IniSettingsStore>(dir.path());
    EXPECT_EQ(store->getSetting("Rombard", "zsnesw.exe", "cmdline", "def"), "def");
    for (const auto& v : saved)
        store->saveSetting("Rombard", v.section, v.key, v.value);
    // Kept in memory and read back from there, to be written in one go: on sync...
    EXPECT_EQ(store->getSetting("Rombard", "zsnes.exe", "cmdline", ""), "-fs é");
    EXPECT_FALSE(dir.exists("Rombard/Rombard.conf"));
    EXPECT_TRUE(store->sync());
    EXPECT_TRUE(dir.read("Rombard/Rombard.conf").contains("Maximized=False"));
    // ...and when the store closes.
    store->saveSetting("Rombard", "zsnesw.exe", "Maximized", "True");
    store.reset();
    platform::IniSettingsStore again(dir.path());
    for (const auto& v : saved)
        EXPECT_EQ(again.getSetting("Rombard", v.section, v.key, "none"), v.readBack) << v.key;
    EXPECT_EQ(again.getSetting("Rombard", "zsnesw.exe", "file", "none"), "none");
    // A folder whose name is not UTF-8 is stored as its bytes, not as U+FFFD.
    const QByteArray text = dir.read("Rombard/Rombard.conf");
    EXPECT_FALSE(text.contains("\xef\xbf\xbd")) << text.toStdString();
    EXPECT_TRUE(text.contains("cmdline=-fs \xc3\xa9")) << text.toStdString();
}

// Design values by shape: what a key reads as, and the default wherever the bag cannot say.
TEST(PropertyBag, ReadsEachShapeAndFallsBackToTheDefault) {
    const platform::PropertyBag bag = platform::PropertyBag::fromJson(R"({
        "Font": {"font": "Tahoma,12,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"},
        "BadFont": {"font": ""}, "GIF": {"bytes": "R0lGODlhAAE="}, "Other": {"x": 1},
        "ForeColor": 5366777, "Big": 4294967295, "Half": 0.5, "MultiSelect": false,
        "Path": "/roms/\u00e9", "List": [1], "Nothing": null})");
    const QVariant fallback(QStringLiteral("default"));
    const QVariant colour = QVariant::fromValue(qint64(0x0051E3F9));
    const struct {
        const char* key;
        QVariant expected;
        // clang-format off
    } cases[] = {
        {"ForeColor", colour}, {"forecolor", colour},  // letter case ignored
        {"Big", QVariant::fromValue(qint64(0xFFFFFFFF))}, {"Half", 0.5}, {"MultiSelect", false},
        {"Path", QStringLiteral("/roms/\u00e9")}, {"GIF", QByteArray("GIF89a\0\1", 8)},
        {"BadFont", fallback}, {"Other", fallback}, {"List", fallback}, {"Nothing", fallback},
        {"Missing", fallback}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(bag.readProperty(c.key, fallback), c.expected) << c.key;
    EXPECT_EQ(bag.readProperty("Font", fallback).value<QFont>().family(), "Tahoma");
    EXPECT_EQ(platform::PropertyBag::fromJson("[1]").readProperty("Half", 2), 2);
}

// Lookups ignore letter case, also in names that are not UTF-8, and see the folder change.
TEST(FileOperations, LookupsIgnoreCaseChangesTakeTheExactEntry) {
    TempFolder dir;
    dir.write("Sonic.SMD", "abc");
    dir.write("other.smd", "x");
    const QString odd = platform::decodeName("caf\xe9.sms");
    const QString oddUpper = platform::decodeName("CAF\xe9.SMS");  // toUpper: U+FFFD
    ASSERT_TRUE(raw::write(dir.file(odd), "abcd"));
    platform::LocalFileOperations ops(platform::TrashPlaces{dir.file("Trash"), false});
    platform::FolderNameIndex index;
    EXPECT_EQ(ops.resolve(dir.file("sonic.smd")), dir.file("Sonic.SMD"));
    EXPECT_FALSE(ops.resolve(dir.file("nope.smd")).has_value());
    EXPECT_EQ(ops.fileSize(dir.file("SONIC.smd")), 3);
    EXPECT_EQ(ops.fileSize(dir.file(oddUpper)), 4);
    EXPECT_EQ(index.resolveName(dir.path(), oddUpper), odd);
    EXPECT_TRUE(index.resolveName(dir.path(), "fixed.sms").isEmpty());
    EXPECT_TRUE(ops.rename(dir.file(odd), dir.file("fixed.sms")));
    EXPECT_TRUE(index.resolveName(dir.path(), oddUpper).isEmpty());
    EXPECT_EQ(index.resolveName(dir.path(), "FIXED.SMS"), "fixed.sms");
    EXPECT_EQ(dir.read("fixed.sms"), "abcd");

    // Another spelling is not the entry: nothing moves, and the reason is given.
    EXPECT_FALSE(ops.remove(dir.file("OTHER.SMD")));
    EXPECT_EQ(ops.lastError(), "Could not move 'OTHER.SMD' to the trash: it is no longer there.");
    EXPECT_EQ(dir.read("Sonic.SMD"), "abc");
    EXPECT_EQ(dir.read("other.smd"), "x");
}

// ASCII names take shortcuts through decoding and folding: the general way's results.
TEST(FileNames, AsciiShortcutsGiveTheGeneralResults) {
    QByteArray everyAscii;
    for (int c = 1; c < 0x80; ++c)
        everyAscii.append(char(c));
    // clang-format off
    const QByteArray names[] = {
        "", "game.smc", "GAME 00001 (U) [!].SMC", "Zelda_[b1]~.zip", everyAscii,
        "caf\xc3\xa9.sms", "CAF\xc3\x89.SMS",  // UTF-8: folded by the Unicode tables
        "STRASSE\xc3\x9f",  // a letter that folds to two
        "Caf\xe9.sms", "\xff" "ABC"};  // not UTF-8: the byte stays escaped through folding
    // clang-format on
    for (const QByteArray& bytes : names) {
        const QString name = platform::decodeName(bytes);
        EXPECT_EQ(platform::encodeName(name), bytes) << bytes.constData();
        QString expected;  // folded around the escaped bytes only
        for (const QChar c : name)
            expected += c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF ? QString(c)
                                                                       : QString(c).toCaseFolded();
        EXPECT_EQ(platform::foldName(name), expected) << bytes.constData();
    }
    EXPECT_EQ(platform::decodeName(QByteArray("a\0b", 3)).size(), 3);
}

TEST(PrintedNames, ControlsBackslashesAndBrokenUtf8AreEscapedTheRestKept) {
    const struct {
        QByteArray name, printed;
        // clang-format off
    } cases[] = {
        {"/roms/Game (E) [!].smc", "/roms/Game (E) [!].smc"}, {"a\tb", "a\\tb"}, {"", ""},
        {"a\\b", "a\\\\b"}, {"\\x41", "\\\\x41"},  // reads back as itself, not as "A"
        {"x.smc -> y.smc\n/roms/z.smc", "x.smc -> y.smc\\n/roms/z.smc"},
        {"\r\x1b[2J\x7f\x01", "\\x0d\\x1b[2J\\x7f\\x01"},
        {"\xc3\xa9 \xe3\x82\xbc \xf0\x9f\x98\x80 \xc2\xa0", "\xc3\xa9 \xe3\x82\xbc \xf0\x9f\x98\x80 \xc2\xa0"},
        {"\xc2\x9b" "1m", "\\xc2\\x9b" "1m"},  // a C1 control (CSI)
        {"-r\xe9ms", "-r\\xe9ms"}, {"\xff\xfe", "\\xff\\xfe"},  // Latin-1
        {"end\xc3", "end\\xc3"}, {"\xe3\x82", "\\xe3\\x82"}, {"\xe2\x82" "a", "\\xe2\\x82" "a"},  // cut short
        {"\xc0\xaf", "\\xc0\\xaf"}, {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},  // overlong
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"}, {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},  // U+10FFFF and past it
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(platform::printedName(platform::decodeName(c.name)), c.printed)
            << c.name.toHex().constData();
}

// The wildcard language of masks, program names and the hide command.

using platform::Wildcard;
constexpr auto kPlain = Wildcard::Syntax::Plain;
constexpr auto kClasses = Wildcard::Syntax::Classes;

TEST(Wildcard, Table) {
    const struct {
        const char* name;  // UTF-8; "\xff" is a byte that is not
        const char* pattern;
        Wildcard::Syntax syntax;
        bool matches;
        // clang-format off
    } cases[] = {
        // Letter case never counts, in ASCII or beyond.
        {"GAME.SMC", "*.smc", kPlain, true}, {"game.smc", "*.SMC", kPlain, true},
        {"\xc3\x89" "clair.zip", "\xc3\xa9" "CLAIR.ZIP", kPlain, true},
        {"game.smc", "*.sm", kPlain, false}, {"game.smcx", "*.smc", kPlain, false},
        {"", "*", kPlain, true}, {"", "?", kPlain, false}, {"", "", kPlain, true},
        {"game", "", kPlain, false}, {"game", "GAME", kPlain, true}, {"game", "gam", kPlain, false},
        {"abc", "a?c", kPlain, true}, {"ac", "a?c", kPlain, false}, {"abc", "A*", kPlain, true},
        {"x.zip", "?.zip", kPlain, true}, {"xy.zip", "?.zip", kPlain, false},
        // "*.*" is every name to a mask, one without a dot too; a pattern of classes means it.
        {"zip", "*.*", kPlain, true}, {"zip", "*.*", kClasses, false},
        {"a.b", "*.*", kClasses, true}, {"zip", "**", kPlain, true},
        // A byte that is not UTF-8 is one unit, matched by "?" and by itself.
        {"a\xff.zip", "a?.zip", kPlain, true}, {"a\xff.zip", "a\xff*", kPlain, true},
        {"a\xff.zip", "a\xfe*", kPlain, false}, {"a\xff\xfe", "a??", kPlain, true},
        // Brackets and "#" are themselves in a mask...
        {"game [!].smc", "*[!]*", kPlain, true}, {"game [b1].smc", "*[!]*", kPlain, false},
        {"a7c", "a#c", kPlain, false}, {"a#c", "a#c", kPlain, true},
        // ...and digits and classes in a pattern of classes ("/" and ":" border the digits).
        {"a7c", "a#c", kClasses, true}, {"abc", "a#c", kClasses, false},
        {"0", "#", kClasses, true}, {"9", "#", kClasses, true}, {"/", "#", kClasses, false},
        {":", "#", kClasses, false}, {"10", "#", kClasses, false}, {"10", "##", kClasses, true},
        {"b", "[a-c]", kClasses, true}, {"d", "[a-c]", kClasses, false},
        {"d", "[!a-c]", kClasses, true}, {"b", "[!a-c]", kClasses, false},
        {"B", "[a-c]", kClasses, true},  // folded like the name
        {"-", "[a-]", kClasses, true},  // a dash at the end is itself
        {"*", "[*]", kClasses, true}, {"x", "[*]", kClasses, false},
        {"a]", "a]", kClasses, true},    // a "]" outside brackets is itself
        {"ab", "a[]b", kClasses, true},  // an empty class stands for nothing
        {"a", "[!]", kClasses, true},    // nothing excluded: any one unit
        {"mario [b1].smc", "*[[]b?[]]*", kClasses, true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", kClasses, false},  // no blow-up
        // A malformed class matches nothing, not even what its text would.
        {"abc", "[a-c", kClasses, false}, {"b", "[c-a]", kClasses, false},
        {"abc[", "abc[", kClasses, false}, {"abc", "*", kClasses, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        const QString name = platform::decodeName(QByteArray(c.name));
        const QString pattern = platform::decodeName(QByteArray(c.pattern));
        SCOPED_TRACE(std::string(c.name) + " / " + c.pattern);
        EXPECT_EQ(Wildcard(pattern, c.syntax).matches(platform::foldName(name)), c.matches);
        EXPECT_EQ(platform::wildcardMatches(name, pattern, c.syntax), c.matches);
    }
    EXPECT_FALSE(Wildcard("[a-c", kClasses).valid());
    EXPECT_TRUE(Wildcard("[a-c", kPlain).valid());
}

// Only regular files are opened: a FIFO, a device or a folder is neither read nor waited on.
TEST(RegularFiles, OnlyRegularFilesAreOpenedAndNothingWaits) {
    // Made as a file holding "data" ('f'), a FIFO ('p'), a folder ('d') or a link ('l').
    const struct {
        const char* name;
        char made;
        const char* linkTo;
        bool opens;
    } cases[] = {{"file", 'f', nullptr, true},    {"link", 'l', "file", true},
                 {"fifo", 'p', nullptr, false},   {"zero", 'l', "/dev/zero", false},
                 {"folder", 'd', nullptr, false}, {"dangling", 'l', "nowhere", false}};
    TempFolder t;
    QStringList listed;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = t.file(c.name);
        const QByteArray at = raw::bytes(path);
        ASSERT_TRUE(c.made == 'f'   ? raw::write(path, "data")
                    : c.made == 'p' ? ::mkfifo(at.constData(), 0644) == 0
                    : c.made == 'd' ? ::mkdir(at.constData(), 0755) == 0
                                    : raw::link(QString::fromUtf8(c.linkTo), path));
        listed << QString(c.name) + '=' + QChar(c.made == 'p' || c.made == 'd' ? 'o' : c.made);
        const std::optional<QByteArray> bytes = platform::readRegularFile(path, 1 << 20);
        EXPECT_EQ(bytes, c.opens ? std::optional<QByteArray>("data") : std::nullopt);
        QFile file;
        EXPECT_EQ(platform::openRegularForReading(file, path), c.opens);
        EXPECT_EQ(file.isOpen() ? file.readAll() : QByteArray(), c.opens ? "data" : "");
        const int fd = platform::openRegular(path);
        EXPECT_EQ(fd >= 0, c.opens);
        if (fd >= 0) {
            // Reads block again as usual once the file is known to be one.
            char buffer[8];
            EXPECT_EQ(::read(fd, buffer, sizeof buffer), 4);
            ::close(fd);
        }
    }
    EXPECT_FALSE(platform::readRegularFile(QString(), 10));

    const auto entries = platform::folderEntryKinds(t.path());
    ASSERT_TRUE(entries);
    QStringList seen;  // by EntryKind's order; '?': the file system does not type its entries
    for (const auto& [name, kind] : *entries)
        seen << name + '=' + "fl?o"[int(kind)];
    seen.sort();
    listed.sort();
    if (!seen.join(' ').contains('?')) {
        EXPECT_EQ(seen, listed);
    }
    EXPECT_EQ(platform::folderEntries(t.path())->size(), 6);
    EXPECT_FALSE(platform::folderEntryKinds(t.file("file")));
}

TEST(RegularFiles, ReadingStopsAtTheCapAndSaysSo) {
    // 200000 bytes: more than one block, and not a block's multiple.
    const struct {
        qint64 size, cap, read;
        bool cut;
    } cases[] = {{0, 10, 0, false}, {10, 10, 10, false},          {11, 10, 10, true},
                 {5, 0, 0, true},   {200000, 65536, 65536, true}, {200000, 200001, 200000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        TempFolder t;
        const QByteArray content =
            QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(c.size / 26 + 1).left(c.size);
        const QString path = t.write(QStringLiteral("f"), content);
        bool cut = !c.cut;
        const std::optional<QByteArray> bytes = platform::readRegularFile(path, c.cap, &cut);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, content.left(qsizetype(c.read)));
        EXPECT_EQ(cut, c.cut);
        EXPECT_EQ(platform::readWholeRegularFile(path, c.cap),
                  c.cut ? std::nullopt : std::optional<QByteArray>(content));
    }
    // A huge file costs no more than the cap.
    TempFolder t;
    const QString huge = t.sparse(QStringLiteral("huge"), qint64(1) << 33);
    const std::optional<QByteArray> bytes = platform::readRegularFile(huge, 4096);
    ASSERT_TRUE(bytes);
    EXPECT_LE(bytes->capacity(), 64 * 1024);
    EXPECT_FALSE(platform::readWholeRegularFile(huge, 4096));
    // A file whose stated size is short of what it holds is read up to the cap, no further.
    EXPECT_FALSE(platform::readWholeRegularFile(QStringLiteral("/proc/self/maps"), 16));
}

}  // namespace

// An unusable settings file is neither waited on nor written through; it is told of once.
TEST(SettingsFiles, AnUnusableFileIsToldOnceAndKeptAsItWas) {
    const struct {
        const char* what;
        mode_t kind;
        const char* told;
    } cases[] = {{"a FIFO", S_IFIFO, "is not a regular file"},
                 {"a folder", S_IFDIR, "is not a regular file"},
                 {"a file nobody may write", S_IFREG, "Permission denied"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        const QString file = t.mkdir("config/Rombard") + "/Rombard.conf";
        const QByteArray path = raw::bytes(file);
        for (const QString& folder : {t.path(), t.file("config")})
            ::chmod(raw::bytes(folder).constData(), 0755);
        int reader = -1;  // never blocks: anything written through the FIFO would wait here
        if (c.kind == S_IFIFO) {
            ASSERT_EQ(::mkfifo(path.constData(), 0600), 0);
            reader = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
        } else if (c.kind == S_IFDIR) {
            ASSERT_EQ(::mkdir(path.constData(), 0700), 0);
        } else {
            ASSERT_TRUE(raw::write(file, "[Nestopia]\nPattern=*.gb\n"));
            ::chmod(path.constData(), 0444);
            ::chmod(raw::bytes(t.file("config/Rombard")).constData(), 0555);
        }
        const support::Forked run = support::runForked([&](int out) {
            ::alarm(10);  // a hang ends the child, and the test with it
            // root writes wherever it likes; the user nobody cannot.
            if (::geteuid() == 0 && !support::becomeUser(support::kNobodyUid)) return 9;
            platform::IniSettingsStore store(t.file(QStringLiteral("config")));
            const QString value = store.getSetting("Rombard", "Nestopia", "Pattern", "*.nes");
            store.saveSetting("Rombard", "Nestopia", "Pattern", "*.zip");
            QStringList told;
            store.setProblemHandler([&](const QString& text) { told << text; });
            QCoreApplication::processEvents();
            if (told.size() != 1) return 2;
            store.saveSetting("Rombard", "Nestopia", "Pattern", "*.7z");
            if (store.sync() == (c.kind == S_IFREG)) return 3;
            support::writeAll(out, (value + '\n' + told.join('\n')).toUtf8());
            return told.size() == 1 ? 0 : 1;
        });
        ::chmod(raw::bytes(t.file("config/Rombard")).constData(), 0755);
        EXPECT_EQ(run.status, 0) << run.out.toStdString();
        EXPECT_TRUE(run.out.startsWith(c.kind == S_IFREG ? "*.gb\n" : "*.nes\n") &&
                    run.out.contains(path) && run.out.contains(c.told))
            << run.out.toStdString();
        struct stat st;
        ASSERT_EQ(::lstat(path.constData(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
        if (c.kind == S_IFREG) {
            EXPECT_EQ(raw::read(file), "[Nestopia]\nPattern=*.gb\n");
        }
        if (reader >= 0) {
            char byte;
            EXPECT_LE(::read(reader, &byte, 1), 0);
            ::close(reader);
        }
    }
}
