#pragma once

#include "platform/SingleInstance.h"

#include <QObject>

#include <memory>

class QLocalServer;

namespace platform {

// One running copy per user through a local socket named after the user: a later copy
// connects, hands over its caption and ends.
class LocalSingleInstance final : public QObject, public SingleInstance {
    Q_OBJECT
public:
    explicit LocalSingleInstance(QString serverName = defaultServerName());
    ~LocalSingleInstance() override;
    static QString defaultServerName();

    bool anotherIsRunning(const QString& caption) override;
    void listen(std::function<void(const QString& caption)> handler) override;

private:
    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
    std::function<void(const QString&)> m_handler;
};

}  // namespace platform
