// The one-copy socket: a later copy hands its caption only to a first copy of its own user.

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
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace {

using platform::LocalSingleInstance;

TEST(LocalSingleInstance, OneServerPerDesktopSession) {
    const struct {
        QString runtime, display, name;
    } cases[] = {
        {"/run/user/1000", ":0", "/run/user/1000/Rombard-_0"},
        {"/run/user/1000", "wayland-0", "/run/user/1000/Rombard-wayland-0"},
        {"", "localhost:10.0", "/tmp/Rombard-1000/Rombard-localhost_10.0"},
        {"", "", "/tmp/Rombard-1000/Rombard"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LocalSingleInstance::serverNameFor(c.runtime, "/tmp", 1000, c.display), c.name);
    // Another user in the shared temporary folder is another copy too.
    EXPECT_NE(LocalSingleInstance::serverNameFor("", "/tmp", 1001, ":0"),
              LocalSingleInstance::serverNameFor("", "/tmp", 1000, ":0"));
}

// The activation token travels as plain text only, known while its caption is handled.
TEST(SingleInstance, TheLaterCopyHandsOverItsCaptionAndActivationToken) {
    const struct {
        const char* token;
        const char* received;
    } cases[] = {{"abc-123_X.y", "abc-123_X.y"}, {"", ""}, {"two words", ""}, {"a\nb", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.token);
        TempFolder runtime;
        const QString name = runtime.file("socket");
        platform::LocalSingleInstance first(name), later(name);
        EXPECT_FALSE(first.anotherIsRunning("unused"));
        QStringList received;
        first.listen([&](const QString& caption) {
            received << caption + '|' + first.handedActivationToken();
        });
        const QByteArray before = qgetenv("XDG_ACTIVATION_TOKEN");
        qputenv("XDG_ACTIVATION_TOKEN", c.token);
        EXPECT_TRUE(later.anotherIsRunning("[zsnes] Super Nintendo ü"));
        qputenv("XDG_ACTIVATION_TOKEN", before);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 5000));
        EXPECT_EQ(received, QStringList{QStringLiteral("[zsnes] Super Nintendo ü|") + c.received});
        EXPECT_TRUE(first.handedActivationToken().isEmpty());
    }
}

// Another user listening on names in a shared folder, `folder` made first as theirs. Stopped
// by received(): 0 nothing was sent, 4 something was, 1-3 names not taken, -1 it hung.
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

// A socket file of ours, in a folder of ours, that another user listens on: credentials tell.
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

// Places not ours alone: nothing is handed over or listens there, and what is there stays.
TEST(SingleInstanceSafety, NoHandOverNorListeningInAPlaceOthersControl) {
    TempFolder t;
    t.mkdir("open");
    ASSERT_EQ(::chmod(raw::bytes(t.file("open")).constData(), 0777), 0);
    t.mkdir("real");
    ASSERT_TRUE(raw::link(t.file("real"), t.file("link")));
    t.write("file/Rombard", "not a socket");
    const struct {
        const char* what;
        QString folder, name;  // the folder a listener of ours is in (none when empty)
    } cases[] = {
        {"a folder others may write to", t.file("open"), t.file("open/Rombard")},
        {"a link to a folder", t.file("real"), t.file("link/Rombard")},
        {"a file by the socket's name", QString(), t.file("file/Rombard")},
    };
    for (const auto& c : cases) {
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
