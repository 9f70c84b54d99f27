#include "platform/OutputCapture.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <cerrno>

namespace platform {

OutputCapture::OutputCapture(qsizetype limit) : m_limit(limit) {
    m_clock.start();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    m_readFd = fds[0];
    m_writeFd = fds[1];
    ::fcntl(m_readFd, F_SETFL, ::fcntl(m_readFd, F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(m_readFd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { drain(); });
}

OutputCapture::~OutputCapture() {
    closeWriteEnd();
    close();
}

void OutputCapture::closeWriteEnd() {
    if (m_writeFd >= 0) ::close(m_writeFd);
    m_writeFd = -1;
}

void OutputCapture::drain() {
    if (m_readFd < 0) return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_readFd, buffer, sizeof buffer);
        if (n > 0) {
            m_tail.append(buffer, n);
            if (m_tail.size() > m_limit) {
                m_tail.remove(0, m_tail.size() - m_limit);
                m_truncated = true;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        // The end of the output, or a pipe that cannot be read any more.
        m_ended = true;
        m_endMs = m_clock.elapsed();
        close();
        return;
    }
}

void OutputCapture::waitForEnd(int ms) {
    QElapsedTimer waited;
    waited.start();
    drain();
    while (!m_ended && m_readFd >= 0) {
        const qint64 left = ms - waited.elapsed();
        if (left <= 0) return;
        pollfd p{m_readFd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) return;
        drain();
    }
}

void OutputCapture::close() {
    m_notifier.reset();
    if (m_readFd >= 0) ::close(m_readFd);
    m_readFd = -1;
}

}  // namespace platform
