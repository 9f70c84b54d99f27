#include "platform/LocalSingleInstance.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <algorithm>

#include <sys/socket.h>
#include <sys/stat.h>

#include <unistd.h>

namespace platform {

namespace {
// Long enough for a busy first copy to accept, short enough not to delay a start.
constexpr int kConnectMs = 1000;
// The line that carries a later copy's activation token. A first copy of an older version
// reads it as a caption that is not its own, and so does nothing with it.
const QByteArray kTokenHead = "activation-token ";
constexpr qsizetype kMaxTokenBytes = 512;

bool isPlainToken(const QByteArray& token) {
    return !token.isEmpty() && token.size() <= kMaxTokenBytes &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

// A folder only this user can put names in: ours, and writable by nobody else. A link is
// not such a folder, whatever it points at.
bool isOwnClosedFolder(const QByteArray& folder) {
    struct stat st;
    return ::lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Whether the socket `name` can be trusted: its folder is one of ours that nobody else can
// write to (made, private, when it is missing), and whatever has the name is a socket of
// ours. Anywhere else another user could listen first and be handed our folder or caption,
// or we would remove a file of theirs, or of ours, to listen ourselves.
bool isSafePlace(const QString& name) {
    const QByteArray path = encodeName(name);
    const QByteArray folder = folderOf(path);
    struct stat st;
    if (::lstat(folder.constData(), &st) != 0 && ::mkdir(folder.constData(), 0700) != 0)
        return false;
    if (!isOwnClosedFolder(folder)) return false;
    if (::lstat(path.constData(), &st) != 0) return errno == ENOENT;
    return S_ISSOCK(st.st_mode) && st.st_uid == ::getuid();
}

// Whether the process at the other end of a connected local socket runs as this user: the
// kernel's word, which no file's owner or mode can fake.
bool peerIsThisUser(qintptr socket) {
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return socket >= 0 && ::getsockopt(int(socket), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::getuid();
}
}  // namespace

LocalSingleInstance::LocalSingleInstance(QString serverName) : m_name(std::move(serverName)) {}

LocalSingleInstance::~LocalSingleInstance() = default;

QString LocalSingleInstance::serverNameFor(const QString& runtimeFolder, const QString& tempFolder,
                                           uint uid, const QString& display) {
    // A display name such as "localhost:10.0" or "wayland-1", reduced to a file name.
    QString session;
    for (const QChar c : display)
        session.append(c.isLetterOrNumber() || c == u'.' || c == u'-' ? c : QChar(u'_'));
    const QString tail = session.isEmpty() ? QString() : QLatin1Char('-') + session;
    if (!runtimeFolder.isEmpty()) return runtimeFolder + QStringLiteral("/Rombard") + tail;
    // Anyone can take a name in the shared temporary folder first, so the socket goes in a
    // folder of the user's own there (made private, and refused when someone else has it).
    return tempFolder + QStringLiteral("/Rombard-%1/Rombard").arg(uid) + tail;
}

QString LocalSingleInstance::defaultServerName() {
    // The runtime folder counts only when it is really there, absolute and the user's own
    // with nobody else able to write to it, as its definition has it.
    QString runtime = decodeName(qgetenv("XDG_RUNTIME_DIR"));
    struct stat st;
    if (!runtime.startsWith(QLatin1Char('/')) ||
        ::stat(encodeName(runtime).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::getuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        runtime.clear();
    QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty()) display = qgetenv("DISPLAY");
    return serverNameFor(runtime, QDir::tempPath(), ::getuid(), QString::fromLocal8Bit(display));
}

bool LocalSingleInstance::anotherIsRunning(const QString& caption) {
    // Nowhere safe to meet: this copy runs as a first one, alone.
    if (!isSafePlace(m_name)) return false;
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectMs)) return false;
    if (!peerIsThisUser(socket.socketDescriptor())) {
        socket.abort();
        return false;
    }
    socket.write(messageFor(caption, qgetenv("XDG_ACTIVATION_TOKEN")));
    socket.waitForBytesWritten(kConnectMs);
    socket.disconnectFromServer();
    return true;
}

QByteArray LocalSingleInstance::messageFor(const QString& caption,
                                           const QByteArray& activationToken) {
    QByteArray message;
    if (isPlainToken(activationToken)) message = kTokenHead + activationToken + '\n';
    return message + caption.toUtf8() + '\n';
}

void LocalSingleInstance::listen(std::function<void(const QString&)> handler) {
    m_handler = std::move(handler);
    if (!isSafePlace(m_name)) return;
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A copy that crashed leaves its socket file behind; nobody answers on it any more,
    // since anotherIsRunning() found no listener before we got here.
    if (!m_server->listen(m_name)) {
        QLocalServer::removeServer(m_name);
        m_server->listen(m_name);
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            if (!peerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine().chopped(1);
                    if (line.startsWith(kTokenHead) && isPlainToken(line.mid(kTokenHead.size()))) {
                        socket->setProperty("activationToken",
                                            QString::fromLatin1(line.mid(kTokenHead.size())));
                        continue;
                    }
                    m_handedToken = socket->property("activationToken").toString();
                    if (m_handler) m_handler(QString::fromUtf8(line));
                    m_handedToken.clear();
                }
            });
        }
    });
}

}  // namespace platform
