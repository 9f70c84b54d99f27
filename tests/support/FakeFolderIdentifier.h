#pragma once

// A FolderIdentifier that answers from a table by file name, for the window and the
// identification's worker. The test keeps the shared state: it sets the answers, sees what
// was asked, and can hold the worker after a given answer to order events without timing.

#include "identify/Identification.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace fakes {

struct IdentifierState {
    std::mutex mutex;
    std::condition_variable changed;
    // Set by the test.
    // By full path, else by file name; others Unknown.
    QHash<QString, identify::Identification> answers;
    QStringList problems;  // what refreshSources reports
    int sources = 3;       // how many sources it "reads"
    int holdAfter = -1;    // answers given before the worker waits for `release`
    bool released = false;
    bool opens = true;    // false: the factory gives no identifier
    bool entries = true;  // false: the sources hold nothing to match against
    // Seen by the test.
    int made = 0;
    int refreshes = 0;
    QList<QStringList> asked;  // each identify call's paths
    bool holding = false;
    int refused = 0;  // answers the worker declined (its callback gave false)

    void release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    // Waits for the worker to reach the hold; false when it never comes.
    bool waitHolding() {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return holding; });
    }
};

class FakeFolderIdentifier : public identify::FolderIdentifier {
public:
    explicit FakeFolderIdentifier(std::shared_ptr<IdentifierState> state)
        : m_state(std::move(state)) {}

    QStringList refreshSources(const std::function<bool(int, int)>& progress) override {
        int total = 0;
        QStringList problems;
        {
            std::lock_guard lock(m_state->mutex);
            ++m_state->refreshes;
            total = m_state->sources;
            problems = m_state->problems;
        }
        for (int i = 1; i <= total; ++i)
            if (progress && !progress(i, total)) break;
        return problems;
    }

    bool hasEntries() override {
        std::lock_guard lock(m_state->mutex);
        return m_state->entries;
    }

    void identify(const QStringList& paths,
                  const std::function<bool(int, const identify::Identification&)>& each) override {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->asked.append(paths);
        }
        for (int i = 0; i < paths.size(); ++i) {
            identify::Identification answer;
            {
                std::unique_lock lock(m_state->mutex);
                if (i == m_state->holdAfter) {
                    m_state->holding = true;
                    m_state->changed.notify_all();
                    m_state->changed.wait(lock, [&] { return m_state->released; });
                    m_state->holding = false;
                }
                const QString name = paths.at(i).mid(paths.at(i).lastIndexOf(u'/') + 1);
                answer = m_state->answers.value(paths.at(i), m_state->answers.value(name));
            }
            if (!each(i, answer)) {
                std::lock_guard lock(m_state->mutex);
                ++m_state->refused;
                return;
            }
        }
    }

private:
    std::shared_ptr<IdentifierState> m_state;
};

// The factory the window and the worker take, over `state`.
inline std::function<std::unique_ptr<identify::FolderIdentifier>()> identifierFactory(
    std::shared_ptr<IdentifierState> state) {
    return [state]() -> std::unique_ptr<identify::FolderIdentifier> {
        std::lock_guard lock(state->mutex);
        ++state->made;
        if (!state->opens) return nullptr;
        return std::make_unique<FakeFolderIdentifier>(state);
    };
}

// An answer of `verdict` whose first entry gives `romName`.
inline identify::Identification identification(identify::Verdict verdict, const QString& romName,
                                               const QString& member = {}) {
    identify::Identification found;
    found.verdict = verdict;
    identify::RomEntry entry;
    entry.source = QStringLiteral("nes");
    entry.software = QStringLiteral("smb");
    entry.description = QStringLiteral("Super Mario Bros.");
    entry.year = QStringLiteral("1985");
    entry.publisher = QStringLiteral("Nintendo");
    entry.romName = romName;
    found.matches.push_back(entry);
    found.member = member;
    return found;
}

}  // namespace fakes
