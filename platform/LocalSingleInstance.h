#pragma once

#include "platform/SingleInstance.h"

#include <QObject>

#include <memory>

class QLocalServer;

namespace platform {

// One running copy per desktop session through a local socket: a later copy connects,
// hands over its caption and ends. Another session of the same user (another display) has
// a socket of its own and so a copy of its own. Only this user's own copies meet: the
// socket lives in a folder of the user's that nobody else can write to, and the listener's
// credentials are checked before anything is handed over (and the caller's before anything
// is taken). Where no such folder can be had, each copy simply runs as a first one.
class LocalSingleInstance final : public QObject, public SingleInstance {
    Q_OBJECT
public:
    explicit LocalSingleInstance(QString serverName = defaultServerName());
    ~LocalSingleInstance() override;
    static QString defaultServerName();
    // The socket's path for a session: in the session's runtime folder when there is one,
    // else in the temporary folder with the user in the name; either way the display names
    // the session, since one user's sessions may share both folders. In the temporary
    // folder the socket goes in a folder named after the user.
    static QString serverNameFor(const QString& runtimeFolder, const QString& tempFolder, uint uid,
                                 const QString& display);

    bool anotherIsRunning(const QString& caption) override;
    void listen(std::function<void(const QString& caption)> handler) override;
    QString handedActivationToken() const override { return m_handedToken; }

    // What a later copy sends: its activation token (XDG_ACTIVATION_TOKEN), when it has one,
    // on a line of its own before the caption. A token is plain printable ASCII; anything
    // else is not sent.
    static QByteArray messageFor(const QString& caption, const QByteArray& activationToken);

private:
    QString m_name;
    QString m_handedToken;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void(const QString&)> m_handler;
};

}  // namespace platform
