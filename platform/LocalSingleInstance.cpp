#include "platform/LocalSingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace platform {

namespace {
// Long enough for a busy first copy to accept, short enough not to delay a start.
constexpr int kConnectMs = 1000;
}  // namespace

LocalSingleInstance::LocalSingleInstance(QString serverName) : m_name(std::move(serverName)) {}

LocalSingleInstance::~LocalSingleInstance() = default;

QString LocalSingleInstance::defaultServerName() {
    return QStringLiteral("Rombard-%1").arg(::getuid());
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
