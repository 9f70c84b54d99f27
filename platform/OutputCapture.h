#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <memory>

class QSocketNotifier;

namespace platform {

// A pipe that a started program writes its standard output and error into. Read as the
// bytes arrive, so a chatty program never blocks on a full pipe; only the last `limit`
// bytes are kept. The end of the output (every writer gone: the program and whatever it
// started) is noted with the time it came, which is when the program really ended.
class OutputCapture final : public QObject {
    Q_OBJECT
public:
    explicit OutputCapture(qsizetype limit = 4096);
    ~OutputCapture() override;

    // False when no pipe could be made; the program then writes where the launcher does.
    bool isOpen() const { return m_readFd >= 0; }
    // For ProgramStart::outputFd; -1 once handed over.
    int writeEnd() const { return m_writeFd; }
    // Called once the program has its copy, so that only the program keeps the pipe open.
    void closeWriteEnd();
    // Reads whatever is waiting, without waiting for more.
    void drain();
    // Reads until the end of the output or until `ms` milliseconds have passed.
    void waitForEnd(int ms);

    bool ended() const { return m_ended; }
    // Milliseconds from the capture's making to the end of the output; -1 before it.
    qint64 msecsToEnd() const { return m_endMs; }
    QByteArray tail() const { return m_tail; }
    // Whether earlier bytes were dropped to keep the tail within its limit.
    bool truncated() const { return m_truncated; }

private:
    void close();

    qsizetype m_limit;
    int m_readFd = -1, m_writeFd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QElapsedTimer m_clock;
    QByteArray m_tail;
    bool m_truncated = false, m_ended = false;
    qint64 m_endMs = -1;
};

}  // namespace platform
