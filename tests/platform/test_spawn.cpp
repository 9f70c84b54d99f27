// Names that are not UTF-8 reach programs started and documents opened byte for byte.

#include "platform/DesktopShell.h"
#include "platform/FileNames.h"
#include "platform/OutputCapture.h"
#include "platform/ProcessSpawn.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QTest>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using platform::decodeName;

// A folder and a game whose names hold bytes that are not UTF-8 (Latin-1, Shift-JIS).
const QByteArray kOddFolder("emu \xe9\xff");
const QByteArray kOddGame("bad\xff\xfename.smc");

// The stand-in emulator, linked into `folder` under `name`.
QString standIn(const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    EXPECT_TRUE(raw::link(QStringLiteral(RECORD_ARGV_PROGRAM), path));
    return path;
}

bool waitForRecord(const QString& program) {
    return QTest::qWaitFor([&] { return raw::exists(program + QStringLiteral(".argv")); }, 10000);
}

TEST(ProgramStart, OddBytesReachTheProgramExactly) {
    TempFolder t;
    const raw::RemoveTree cleanup(t.path());
    const QString folder = t.path() + QLatin1Char('/') + decodeName(kOddFolder);
    ASSERT_TRUE(raw::mkdir(folder));
    const QString program = standIn(folder, QStringLiteral("zsnes"));
    const QString game = folder + QLatin1Char('/') + decodeName(kOddGame);
    ASSERT_TRUE(raw::write(game, "rom"));

    // No shell between: quotes, blanks and command syntax arrive as written, one by one.
    const QString inject = t.file("injected");
    // clang-format off
    const QStringList args{game, QString(), "ゼルダ é", "/r/Mario \"Bros\" (U) [!].nes",
                           "; touch " + inject, "$(touch " + inject + ")", "a  b"};
    // clang-format on
    platform::DesktopShell shell(QString{}, QString{});
    ASSERT_TRUE(shell.start({program, args, folder, 1}));
    ASSERT_TRUE(waitForRecord(program));
    QList<QByteArray> expected{raw::bytes(folder),
                               raw::bytes(t.path()) + '/' + kOddFolder + '/' + kOddGame};
    for (const QString& a : args.mid(1))
        expected << a.toUtf8();
    EXPECT_EQ(raw::recorded(program), expected);
    EXPECT_FALSE(raw::exists(inject));
    EXPECT_FALSE(shell.start({t.file("missing"), {}, {}, 1}));
    EXPECT_FALSE(shell.start({}));
}

TEST(ProgramStart, FailuresAreReportedAndEndedProgramsLeaveNoZombie) {
    TempFolder t;
    const QString program = standIn(t.path(), QStringLiteral("emu"));
    const QString notExecutable = t.write("plain.exe", "not a program");
    const struct {
        const char* what;
        QByteArray program, folder;
        bool starts;
    } cases[] = {
        {"missing program", raw::bytes(t.file("missing")), {}, false},
        {"not executable", raw::bytes(notExecutable), {}, false},
        {"missing working folder", raw::bytes(program), raw::bytes(t.file("gone")), false},
        {"empty", {}, {}, false},
        {"found through PATH", "true", {}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::spawnDetached(c.program, {}, c.folder).has_value(), c.starts) << c.what;

    // An ended emulator left a zombie would look to the process poll as if it still ran.
    const auto pid = platform::spawnDetached(raw::bytes(program), {"x"});
    ASSERT_TRUE(pid.has_value());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(*pid)); }, 10000));
}

// Both outputs in order, the tail kept; the end once all the program started let go.
TEST(OutputCapture, KeepsTheTailOfBothOutputsUntilTheEnd) {
    const struct {
        const char* script;
        QByteArray tail;
        bool truncated;
    } cases[] = {
        {"echo one; echo two >&2; echo three", "one\ntwo\nthree\n", false},
        {"head -c 100000 /dev/zero | tr '\\0' x; echo; echo last >&2",
         QByteArray(4096 - 6, 'x') + "\nlast\n", true},
        {"", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        platform::OutputCapture capture(4096);
        ASSERT_TRUE(capture.isOpen());
        platform::ProgramStart start{"/bin/sh", {"-c", c.script}, {}, 1, capture.writeEnd()};
        ASSERT_TRUE(platform::DesktopShell(QString(), QString()).start(start));
        capture.closeWriteEnd();
        ASSERT_TRUE(QTest::qWaitFor([&] { return capture.ended(); }, 10000));
        EXPECT_EQ(capture.tail(), c.tail);
        EXPECT_EQ(capture.truncated(), c.truncated);
        EXPECT_GE(capture.msecsToEnd(), 0);
    }
}

// A document goes to the opener by its bytes, unless no program declares its type.
TEST(DesktopShell, OpensADocumentByItsOwnBytesWhenAProgramMayTakeIt) {
    TempFolder t;
    const raw::RemoveTree cleanup(t.path());
    const QString opener = standIn(t.path(), QStringLiteral("opener"));
    const QString game = t.path() + QLatin1Char('/') + decodeName(kOddGame);
    ASSERT_TRUE(raw::write(game, "rom"));
    t.write("data/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=editor.desktop;\n");
    EXPECT_FALSE(platform::DesktopShell(QString{}, opener, {{}, {t.file("data")}, {}}).open(game));
    platform::DesktopShell shell(QString{}, opener, platform::AssociationFolders{});
    ASSERT_TRUE(shell.open(game));
    ASSERT_TRUE(waitForRecord(opener));
    const QList<QByteArray> recorded = raw::recorded(opener);
    ASSERT_EQ(recorded.size(), 2);
    EXPECT_EQ(recorded.at(1), raw::bytes(t.path()) + '/' + kOddGame);
    EXPECT_FALSE(shell.open(QString()));
}

TEST(FileNames, ProgramFolderAndArgumentsKeepTheirBytes) {
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    const QString here = decodeName(cwd);
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const struct {
        QByteArray argv0;
        QString folder;
    } cases[] = {
        {"/emu/" + kOddFolder + "/rombard", "/emu/" + decodeName(kOddFolder)},
        {"/emu/./x/../rombard", "/emu"},
        {"/rombard", "/"},
        {"sub/rombard", here + "/sub"},
        {"rombard", QFileInfo(self).path()},  // through PATH: where it really is
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::programFolderFromArgv0(c.argv0.constData()), c.folder)
            << c.argv0.toStdString();

    const char* argv[] = {"rombard", kOddGame.constData(), "/roms/é"};
    EXPECT_EQ(platform::argumentsFromArgv(3, argv),
              (QStringList{decodeName(kOddGame), QStringLiteral("/roms/é")}));
    EXPECT_EQ(platform::encodeName(platform::argumentsFromArgv(3, argv).at(0)), kOddGame);
}

}  // namespace
