#include "platform/LocalSingleInstance.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>

#include <unistd.h>

namespace platform {

namespace {
// Long enough for a busy first copy to accept, short enough not to delay a start.
constexpr int kConnectMs = 1000;
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
    return tempFolder + QStringLiteral("/Rombard-%1").arg(uid) + tail;
}

QString LocalSingleInstance::defaultServerName() {
    // The runtime folder counts only when it is really there (it is absolute and private
    // to the user by its definition).
    QString runtime = decodeName(qgetenv("XDG_RUNTIME_DIR"));
    struct stat st;
    if (!runtime.startsWith(QLatin1Char('/')) ||
        ::stat(encodeName(runtime).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        runtime.clear();
    QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty()) display = qgetenv("DISPLAY");
    return serverNameFor(runtime, QDir::tempPath(), ::getuid(), QString::fromLocal8Bit(display));
}

bool LocalSingleInstance::anotherIsRunning(const QString& caption) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectMs)) return false;
    socket.write(caption.toUtf8() + '\n');
    socket.waitForBytesWritten(kConnectMs);
    socket.disconnectFromServer();
    return true;
}

void LocalSingleInstance::listen(std::function<void(const QString&)> handler) {
    m_handler = std::move(handler);
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
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) return;
                const QString caption = QString::fromUtf8(socket->readLine()).chopped(1);
                if (m_handler) m_handler(caption);
            });
        }
    });
}

}  // namespace platform
