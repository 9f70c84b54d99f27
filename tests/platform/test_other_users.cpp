// What other users can reach. The trash: a shared disk's trash folders are used only when
// they are the user's own, held by descriptor so that nobody can swap them between the
// check and the move, and a move never replaces anything nor leaves info without its file.

#include "platform/FileNames.h"
#include "platform/LocalSingleInstance.h"
#include "platform/Trash.h"

#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/SmallFileSystem.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace {

using platform::TrashPlaces;

bool makeFolder(const QString& path, mode_t mode, uid_t owner) {
    const QByteArray p = raw::bytes(path);
    return ::mkdir(p.constData(), mode) == 0 && ::chmod(p.constData(), mode) == 0 &&
           ::lchown(p.constData(), owner, owner) == 0;
}

// The owner of a sticky shared $topdir/.Trash swaps the victim's folder in it with a
// folder of their own, over and over, while the victim trashes file after file: with the
// folders checked by name and then used by name, some files would land in the swapper's
// folder, readable and deletable by them.
TEST(TrashAgainstOtherUsers, SwappingTheUserFolderNeverSendsFilesToTheSwapper) {
    if (!support::canActAsOtherUsers()) GTEST_SKIP() << "acting as two users needs root";
    SmallFileSystem fs("size=16m,mode=1777");
    if (!fs.mounted()) GTEST_SKIP() << "cannot mount a file system here";
    const uid_t victim = support::kVictimUid, attacker = support::kAttackerUid;
    const QString top = fs.path(), shared = top + "/.Trash";
    const QString mine = shared + '/' + QString::number(victim), theirs = shared + "/theirs";
    ASSERT_TRUE(makeFolder(shared, 01777, attacker));
    ASSERT_TRUE(makeFolder(mine, 0700, victim));
    ASSERT_TRUE(makeFolder(theirs, 0777, attacker));
    for (const char* sub : {"/files", "/info"}) {
        ASSERT_TRUE(makeFolder(mine + sub, 0700, victim));
        ASSERT_TRUE(makeFolder(theirs + sub, 0777, attacker));
    }
    ASSERT_TRUE(makeFolder(top + "/roms", 0755, victim));
    constexpr int kFiles = 400;
    for (int i = 0; i < kFiles; ++i) {
        const QString game = top + QStringLiteral("/roms/game%1.smc").arg(i);
        ASSERT_TRUE(raw::write(game, "private"));
        ASSERT_EQ(::lchown(raw::bytes(game).constData(), victim, victim), 0);
    }

    const QByteArray victimName = QByteArray::number(victim);
    const pid_t swapper = support::startAs(attacker, [&] {
        const int fd = ::open(raw::bytes(shared).constData(), O_RDONLY | O_DIRECTORY);
        // A pause after each swap lets each state last about as long as one move takes.
        for (;;) {
            ::renameat2(fd, victimName.constData(), fd, "theirs", RENAME_EXCHANGE);
            ::usleep(20);
        }
        return 0;
    });
    ASSERT_GT(swapper, 0);
    const pid_t trasher = support::startAs(victim, [&] {
        int failed = 0;
        for (int i = 0; i < kFiles; ++i)
            if (!platform::moveToTrash(top + QStringLiteral("/roms/game%1.smc").arg(i),
                                       TrashPlaces{QString(), true}))
                ++failed;
        return failed > 250 ? 250 : failed;
    });
    const int failed = support::waitFor(trasher);
    support::stop(swapper);
    ASSERT_GE(failed, 0);
    EXPECT_EQ(failed, 0) << "a trash of one's own is always left";

    // Whichever name it has now, the swapper's folder holds nothing of the victim's.
    int landed = 0, stayed = int(raw::names(top + "/roms").size());
    for (const QByteArray& name : raw::names(shared)) {
        const QString folder = shared + '/' + platform::decodeName(name);
        const int count = int(raw::names(folder + "/files").size());
        if (raw::owner(folder) == attacker) {
            EXPECT_EQ(count, 0) << "files in the other user's folder";
            EXPECT_TRUE(raw::names(folder + "/info").isEmpty());
        } else {
            landed += count;
        }
    }
    landed += int(raw::names(top + "/.Trash-" + QString::number(victim) + "/files").size());
    EXPECT_EQ(landed + stayed, kFiles) << "every file is in the victim's trash or where it was";
}

// A disk's trash folders count only when they are the user's own, private and not links;
// the shared one falls back to the user's own, a bad own one is refused and the file stays.
TEST(DiskTrash, OnlyFoldersOfTheUsersOwnAreUsed) {
    const QString uid = QString::number(::getuid());
    const QString shared = ".Trash/" + uid, own = ".Trash-" + uid;
    const bool root = support::canActAsOtherUsers();
    const uid_t other = support::kAttackerUid;
    // What the test folder holds first, in order: a folder of `mode`, of the other user's
    // when `others`, or a link to `linkTo`.
    struct Made {
        QString path;
        mode_t mode;
        bool others = false;
        const char* linkTo = nullptr;
    };
    struct Case {
        const char* what;
        std::vector<Made> made;
        QString landsIn;  // from the top; empty: refused
        bool needsRoot = false;
    };
    const Made sticky{".Trash", 01777}, elsewhere{"elsewhere", 0700};
    // clang-format off
    const Case cases[] = {
        {"a shared trash: the user's folder is made", {sticky}, shared},
        {"a shared trash without its sticky bit is not used", {{".Trash", 0777}}, own},
        {"the user's folder there belongs to another user", {sticky, {shared, 0700, true}}, own, true},
        {"the user's folder there is open to others", {sticky, {shared, 0755}}, own},
        {"the user's folder there is a link", {sticky, elsewhere, {shared, 0, false, "elsewhere"}}, own},
        {"the shared trash is a link to a sticky folder",
         {{"elsewhere", 01777}, {".Trash", 0, false, "elsewhere"}}, own},
        {"the user's own trash", {{own, 0700}}, own},
        {"the user's own trash is open to others", {{own, 0755}}, ""},
        {"the user's own trash belongs to another user", {{own, 0700, true}}, "", true},
        {"the user's own trash is a link to a folder of theirs",
         {elsewhere, {own, 0, false, "elsewhere"}}, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && !root) continue;
        TempFolder t;
        const raw::RemoveTree cleanup(t.path());
        t.write("roms/x.smc", "game");
        for (const Made& m : c.made)
            ASSERT_TRUE(m.linkTo
                            ? raw::link(t.file(m.linkTo), t.file(m.path))
                            : makeFolder(t.file(m.path), m.mode, m.others ? other : ::getuid()));
        const QStringList before = raw::tree(t.path());
        QString why;
        EXPECT_EQ(platform::moveToDiskTrash(t.file("roms/x.smc"), t.path(), &why),
                  !c.landsIn.isEmpty());
        if (c.landsIn.isEmpty()) {
            EXPECT_EQ(why, t.file(own) + " is not a trash folder of yours");
            EXPECT_EQ(raw::tree(t.path()), before) << "nothing moved, nothing made";
            continue;
        }
        EXPECT_EQ(t.read(c.landsIn + "/files/x.smc"), "game");
        EXPECT_TRUE(t.read(c.landsIn + "/info/x.smc.trashinfo").contains("\nPath=roms/x.smc\n"));
        EXPECT_FALSE(t.exists("roms/x.smc"));
        // A folder that was not the user's own got nothing.
        EXPECT_TRUE(raw::names(t.file("elsewhere")).isEmpty());
        if (c.landsIn == own && !QFileInfo(t.file(shared)).isSymLink()) {
            EXPECT_TRUE(raw::names(t.file(shared)).isEmpty());
        }
    }
}

// A move takes a name nothing has in the trash, never replacing an entry even when its
// info is missing, and removes the info it wrote for a move that failed. Info files whose
// entry is gone (a move cut short by a kill) are cleared on the next use once they are old
// enough not to be another program's move in progress; nothing else is touched.
TEST(TrashLeftovers, NothingIsReplacedAndInfoWithoutItsEntryIsCleared) {
    TempFolder t;
    t.write("roms/x.smc", "new");
    t.write("roms/y.smc", "second");
    t.write("Trash/files/x.smc", "old");  // its info is missing
    t.write("Trash/files/kept.smc", "kept");
    t.write("Trash/info/kept.smc.trashinfo", "kept info");
    t.write("Trash/info/gone.smc.trashinfo", "cut short");
    t.write("Trash/info/fresh.smc.trashinfo", "in progress");
    t.write("Trash/info/notes.txt", "not info");
    t.mkdir("Trash/info/folder.trashinfo");
    for (const char* old : {"gone.smc.trashinfo", "notes.txt", "folder.trashinfo"})
        ASSERT_TRUE(t.settle(QStringLiteral("Trash/info/") + old));
    const TrashPlaces places{t.file("Trash"), false};

    ASSERT_TRUE(platform::moveToTrash(t.file("roms/x.smc"), places));
    QStringList trash = raw::tree(t.file("Trash"));
    // clang-format off
    const QStringList expected{
        "files/", "files/kept.smc: kept", "files/x.smc: old", "files/x.smc.2: new", "info/",
        "info/folder.trashinfo/", "info/fresh.smc.trashinfo: in progress",
        "info/kept.smc.trashinfo: kept info", "info/notes.txt: not info"};
    // clang-format on
    ASSERT_EQ(trash.size(), expected.size() + 1) << trash.join('\n').toStdString();
    const qsizetype info = trash.indexOf(QRegularExpression(
        "^info/x\\.smc\\.2\\.trashinfo: .*", QRegularExpression::DotMatchesEverythingOption));
    ASSERT_GE(info, 0) << "the info file of the entry made";
    EXPECT_TRUE(trash.takeAt(info).contains("Path=" + t.file("roms/x.smc")));
    EXPECT_EQ(trash, expected);

    // Left over since: cleared at the next move, the info just made staying.
    t.write("Trash/info/later.smc.trashinfo", "cut short too");
    ASSERT_TRUE(t.settle("Trash/info/later.smc.trashinfo"));
    ASSERT_TRUE(platform::moveToTrash(t.file("roms/y.smc"), places));
    EXPECT_FALSE(t.exists("Trash/info/later.smc.trashinfo"));
    EXPECT_TRUE(t.exists("Trash/info/x.smc.2.trashinfo"));
    EXPECT_TRUE(t.exists("Trash/info/y.smc.trashinfo"));
    EXPECT_EQ(t.read("Trash/files/y.smc"), "second");
}

}  // namespace

// The one-copy socket where other users can reach: a copy hands its folder or caption only
// to a listener of its own user, in a folder of its own, and starts as a first copy when no
// such place can be had.
namespace {

using platform::LocalSingleInstance;

// Another user listening on socket names it chose, `folder` (when given) made first as
// theirs, as a name in a shared temporary folder can be taken by anyone. received() stops
// it: 0 when nothing was sent to it, 4 when something was, 1-3 when it could not take the
// names, -1 when it did not end.
class Squatter {
public:
    Squatter(const QString& folder, const QStringList& names) {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(m_stop) != 0) return;
        const QByteArray made = raw::bytes(folder);  // no allocation in the child
        QList<QByteArray> paths;
        for (const QString& n : names)
            paths << raw::bytes(n);
        m_pid = support::startAs(support::kAttackerUid, [&] {
            ::close(ready[0]);
            ::close(m_stop[1]);
            if (!made.isEmpty() && ::mkdir(made.constData(), 0755) != 0 && errno != EEXIST)
                return 1;
            std::vector<pollfd> fds{{m_stop[0], POLLIN, 0}};
            for (const QByteArray& path : paths) {
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
                const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                    ::listen(s, 8) != 0)
                    return 2;
                fds.push_back({s, POLLIN, 0});
            }
            if (::write(ready[1], "r", 1) != 1) return 3;
            long received = 0;
            while (::poll(fds.data(), fds.size(), -1) > 0 && !fds[0].revents)
                for (std::size_t i = 1; i < fds.size(); ++i) {
                    if (!fds[i].revents) continue;
                    const int c = ::accept(fds[i].fd, nullptr, nullptr);
                    char buffer[256];
                    pollfd one{c, POLLIN, 0};
                    for (ssize_t n; ::poll(&one, 1, 2000) > 0 && (n = ::read(c, buffer, 256)) > 0;)
                        received += n;
                    ::close(c);
                }
            return received == 0 ? 0 : 4;
        });
        ::close(ready[1]);
        ::close(m_stop[0]);
        char c = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
    }
    ~Squatter() { received(); }
    bool ready() const { return m_ready; }
    int received() {
        if (m_stop[1] >= 0) {
            ::close(std::exchange(m_stop[1], -1));
            m_status = support::waitFor(m_pid);
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
    int m_stop[2] = {-1, -1}, m_status = -1;
};

TEST(SingleInstanceAgainstOtherUsers, ASquattedNameGetsNothingAndWeStartAsTheFirstCopy) {
    if (!support::canActAsOtherUsers()) GTEST_SKIP() << "acting as two users needs root";
    // A shared temporary folder, as /tmp is, without a runtime folder.
    TempFolder temp;
    ASSERT_EQ(::chmod(raw::bytes(temp.path()).constData(), 01777), 0);
    const QString name = LocalSingleInstance::serverNameFor("", temp.path(), ::getuid(), ":0");
    const QString folder = name.section('/', 0, -2);
    // The other user takes the folder our socket goes in, and every name we ever used.
    const QString older = temp.path() + QStringLiteral("/Rombard-%1-_0").arg(::getuid());
    Squatter squatter(folder, {name, older});
    ASSERT_TRUE(squatter.ready());

    LocalSingleInstance copy(name);
    EXPECT_FALSE(copy.anotherIsRunning("[zsnes] Super Nintendo"));
    copy.listen([](const QString&) {});
    EXPECT_EQ(raw::owner(name), support::kAttackerUid) << "their socket stays theirs";
    EXPECT_EQ(raw::owner(folder), support::kAttackerUid);
    EXPECT_EQ(squatter.received(), 0);
    // Another session's name in that folder, free: still not ours to listen on.
    const QString free = LocalSingleInstance::serverNameFor("", temp.path(), ::getuid(), ":1");
    LocalSingleInstance other(free);
    EXPECT_FALSE(other.anotherIsRunning("x"));
    other.listen([](const QString&) {});
    EXPECT_FALSE(raw::exists(free)) << "nothing of ours in their folder";
}

// The socket file looks like ours, in a folder of ours, but another user listens on it:
// only the listener's own credentials tell.
TEST(SingleInstanceAgainstOtherUsers, AListenerOfAnotherUserGetsNothing) {
    if (!support::canActAsOtherUsers()) GTEST_SKIP() << "acting as two users needs root";
    TempFolder theirs, ours;
    ASSERT_EQ(::chmod(raw::bytes(theirs.path()).constData(), 01777), 0);
    const QString bound = theirs.file("socket"), name = ours.file("Rombard-_0");
    Squatter squatter(QString(), {bound});
    ASSERT_TRUE(squatter.ready());
    ASSERT_EQ(::rename(raw::bytes(bound).constData(), raw::bytes(name).constData()), 0);
    ASSERT_EQ(::lchown(raw::bytes(name).constData(), ::getuid(), ::getgid()), 0);

    LocalSingleInstance copy(name);
    EXPECT_FALSE(copy.anotherIsRunning("/games/private"));
    QStringList got;
    copy.listen([&](const QString& message) { got << message; });
    EXPECT_EQ(squatter.received(), 0);
    // The place is ours: this copy now listens there, and a later one finds it.
    LocalSingleInstance later(name);
    EXPECT_TRUE(later.anotherIsRunning("hello"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !got.isEmpty(); }, 5000));
    EXPECT_EQ(got, QStringList{"hello"});
}

// Places that are not ours alone: nothing is handed over there, nothing listens there, and
// what is there stays.
TEST(SingleInstanceSafety, NoHandOverNorListeningInAPlaceOthersControl) {
    struct Case {
        const char* what;
        QString folder, name;  // the folder a listener of ours is in (none when empty)
    };
    TempFolder t;
    t.mkdir("open");
    ASSERT_EQ(::chmod(raw::bytes(t.file("open")).constData(), 0777), 0);
    t.mkdir("real");
    ASSERT_TRUE(raw::link(t.file("real"), t.file("link")));
    t.write("file/Rombard", "not a socket");
    const Case cases[] = {
        {"a folder others may write to", t.file("open"), t.file("open/Rombard")},
        {"a link to a folder", t.file("real"), t.file("link/Rombard")},
        {"a file by the socket's name", QString(), t.file("file/Rombard")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QLocalServer listener;
        if (!c.folder.isEmpty()) {
            ASSERT_TRUE(listener.listen(c.folder + "/Rombard"));
        }
        LocalSingleInstance copy(c.name);
        EXPECT_FALSE(copy.anotherIsRunning("caption"));
        QCoreApplication::processEvents();
        EXPECT_FALSE(listener.hasPendingConnections());
        copy.listen([](const QString&) {});
        if (!c.folder.isEmpty()) {
            // Still the first listener's: a later copy reaches it, not this one.
            QLocalSocket probe;
            probe.connectToServer(c.folder + "/Rombard");
            EXPECT_TRUE(probe.waitForConnected(1000));
            EXPECT_TRUE(QTest::qWaitFor([&] { return listener.hasPendingConnections(); }, 2000));
        }
    }
    EXPECT_EQ(t.read("file/Rombard"), "not a socket");
}

}  // namespace
