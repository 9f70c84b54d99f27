// The one-copy socket where other users can reach: a copy hands its folder or caption only
// to a listener of its own user, in a folder of its own, and starts as a first copy when no
// such place can be had.

#include "platform/LocalSingleInstance.h"
#include "support/OtherUser.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

using platform::LocalSingleInstance;

uid_t ownerOf(const QString& path) {
    struct stat st;
    return ::lstat(raw::bytes(path).constData(), &st) == 0 ? st.st_uid : uid_t(-1);
}

// Another user listening on socket names it chose, counting every byte sent to it, until
// told to stop.
class Squatter {
public:
    // `folder`, when given, is made first as the squatter's own (as a name in a shared
    // temporary folder can be taken by anyone).
    Squatter(const QString& folder, const QList<QString>& names) {
        int ready[2], stop[2], result[2];
        if (::pipe(ready) != 0 || ::pipe(stop) != 0 || ::pipe(result) != 0) return;
        const QByteArray made = raw::bytes(folder);
        std::vector<QByteArray> paths;
        for (const QString& n : names)
            if (std::find(paths.begin(), paths.end(), raw::bytes(n)) == paths.end())
                paths.push_back(raw::bytes(n));
        m_pid = support::startAs(support::kAttackerUid, [&] {
            ::close(ready[0]);
            ::close(stop[1]);
            ::close(result[0]);
            if (!made.isEmpty() && ::mkdir(made.constData(), 0755) != 0 && errno != EEXIST)
                return 1;
            std::vector<pollfd> fds{{stop[0], POLLIN, 0}};
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
            while (::poll(fds.data(), fds.size(), -1) > 0 && !fds[0].revents) {
                for (std::size_t i = 1; i < fds.size(); ++i) {
                    if (!fds[i].revents) continue;
                    const int c = ::accept(fds[i].fd, nullptr, nullptr);
                    char buffer[256];
                    pollfd one{c, POLLIN, 0};
                    while (::poll(&one, 1, 2000) > 0) {
                        const ssize_t n = ::read(c, buffer, sizeof buffer);
                        if (n <= 0) break;
                        received += n;
                    }
                    ::close(c);
                }
            }
            return ::write(result[1], &received, sizeof received) == sizeof received ? 0 : 4;
        });
        ::close(ready[1]);
        ::close(stop[0]);
        ::close(result[1]);
        char c = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        m_stop = stop[1];
        m_result = result[0];
    }
    ~Squatter() { received(); }
    bool ready() const { return m_ready; }
    // Stops the squatter; the bytes it was sent (-1 when it did not say).
    long received() {
        if (m_stop < 0) return m_received;
        ::close(m_stop);
        m_stop = -1;
        if (::read(m_result, &m_received, sizeof m_received) != sizeof m_received) m_received = -1;
        ::close(m_result);
        support::waitFor(m_pid);
        return m_received;
    }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
    int m_stop = -1, m_result = -1;
    long m_received = -1;
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
    EXPECT_EQ(ownerOf(name), support::kAttackerUid) << "their socket stays theirs";
    EXPECT_EQ(ownerOf(folder), support::kAttackerUid);
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
