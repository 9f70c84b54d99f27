#pragma once

// A game's emulator from its start to the window's return: the program started, the
// window out of the way (minimised; hidden on Wayland, which cannot undo a minimise), a
// poll until the emulator has ended, then the window back as it was and, when the
// emulator gave up at once, what it wrote.

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class PlayHistory;
class QTimer;
class QWidget;
struct LaunchPlan;

namespace platform {
class Dialogs;
class ProcessTable;
class Shell;
}  // namespace platform

class EmulatorSession : public QObject {
    Q_OBJECT
public:
    // What the session reaches; every pointer outlives it.
    struct Host {
        QWidget* window = nullptr;
        platform::Shell* shell = nullptr;
        platform::ProcessTable* processes = nullptr;
        platform::Dialogs* dialogs = nullptr;
        PlayHistory* history = nullptr;  // may be null
        // Once the program was asked to start (the emulator chosen is worth remembering).
        std::function<void()> started;
        // The window's state is back: it comes forward.
        std::function<void()> bringBack;
    };
    // What is started.
    struct Game {
        QString emulator;         // as messages name it
        QString process;          // the name the poll looks for
        QString path;             // the game's full path, for the history
        QString historyEmulator;  // the emulator as the history keeps it
    };
    explicit EmulatorSession(Host host, QObject* parent);
    ~EmulatorSession() override;

    void launch(LaunchPlan plan, const Game& game);
    // An emulator started from here is still being waited for.
    bool running() const;

private:
    struct Watch;
    void poll();
    void reportEarlyEnd(Watch& watch);

    Host m_host;
    QTimer* m_poll = nullptr;  // "emulatorPoll"
    std::unique_ptr<Watch> m_watch;
    Qt::WindowStates m_stateBefore;
    QString m_process;
};
