// The games folder's journals at start-up. 30,000 games with 100,000 sessions in the
// journals of three computers: the first reading of them all, then a start-up that lists
// the folder and catches up with the journals (nothing new: each is only looked at),
// against the same start-up without any history (goal: at most 1.2 times). Both sides of
// the ratio are measured in the same run.

#include "BenchWindow.h"
#include "HistoryBench.h"
#include "Quick.h"
#include "TimeReporter.h"
#include "filelist/ui/FileListView.h"
#include "launcher/games/PlayHistory.h"
#include "library/JournalFormat.h"
#include "library/JournalSync.h"
#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "platform/Descendants.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

const int kFiles = bench::kHistoryFiles;
const int kPlayed = bench::kHistoryPlayed;
const int kSessions = bench::kHistorySessions;
constexpr int kComputers = 3;
const int kRuns = bench::kHistoryRuns;
const auto gameName = bench::historyGameName;
using bench::NothingRuns;

// Years of plays on three computers, a tenth of the played games marked.
void writeJournals(const QString& roms) {
    using namespace library::journal;
    QDir().mkpath(roms + QLatin1String(kFolderName));
    for (int c = 0; c < kComputers; ++c) {
        const QByteArray id = QByteArray(32, char('a' + c));
        QByteArray content = headerLine(id);
        for (int i = c; i < kSessions; i += kComputers)
            content += recordLine(Play{"s" + QByteArray::number(i), gameName(i % kPlayed).toUtf8(),
                                       1'600'000'000 + i * 600, (i * 37) % 7200,
                                       QStringLiteral("snes9x")});
        for (int i = c * 10; i < kPlayed; i += 10 * kComputers)
            content += recordLine(Mark{gameName(i).toUtf8(), true, 1'700'000'000, id});
        QFile f(roms + QLatin1String(kFolderName) + QLatin1Char('/') + QString::fromLatin1(id) +
                QStringLiteral(".journal"));
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::WindowServices fixture;
    const QString roms = fixture.fillRoms(kFiles, gameName);
    writeJournals(roms);
    QTemporaryDir data;
    const QString file = data.path() + QStringLiteral("/library.sqlite3");
    library::LibraryDb db;
    if (!db.open(file).ok) return 1;
    const QByteArray here(32, 'f');
    db.setInstallation(here);
    library::LibraryDb journalsDb;  // the journal thread's own connection
    if (!journalsDb.open(file).ok) return 1;
    library::JournalSync sync(journalsDb, here);

    QElapsedTimer first;
    first.start();
    const library::JournalSync::Result read = sync.readFolder(roms);
    const double firstMs = double(first.nsecsElapsed()) / 1e6;
    if (!read.changed || db.historyLines().size() != size_t(kPlayed)) {
        std::fprintf(stderr, "the journals did not fill the history\n");
        return 1;
    }
    library::SystemPlayClock clock;
    NothingRuns nothing;

    // A start-up with history lists the folder with its play facts and catches up with its
    // journals, as the journal thread does at the same time.
    enum Start { kWithout, kDatabaseOnly, kWithJournals };
    const auto startOnce = [&](Start how) {
        MainWindowServices s = fixture.services();
        std::optional<PlayHistory> history;
        if (how != kWithout) history.emplace(db, clock, nothing);
        s.history = history ? &*history : nullptr;
        MainWindow window(s);
        window.start();
        if (how == kWithJournals) {
            sync.readFolder(roms);
            sync.publishFolder(roms);
        }
        return window.findChild<FileListView*>(QStringLiteral("Files"))->listCount();
    };
    if (startOnce(kWithJournals) != kFiles || startOnce(kWithout) != kFiles) {
        std::fprintf(stderr, "the list did not fill with %d files\n", kFiles);
        return 1;
    }
    const double catchUp = bench::medianMs(kRuns, [&] {
        sync.readFolder(roms);
        sync.publishFolder(roms);
    });
    std::vector<double> without, databaseOnly, with;
    for (int round = 0; round < bench::sized(3, 1); ++round) {
        without.push_back(bench::medianMs(kRuns, [&] { startOnce(kWithout); }));
        databaseOnly.push_back(bench::medianMs(kRuns, [&] { startOnce(kDatabaseOnly); }));
        with.push_back(bench::medianMs(kRuns, [&] { startOnce(kWithJournals); }));
    }
    const double plain = *std::min_element(without.begin(), without.end());
    const double fromDatabase = *std::min_element(databaseOnly.begin(), databaseOnly.end());
    const double withJournals = *std::min_element(with.begin(), with.end());
    std::printf("first reading of %d journals (%d sessions, %d games played): %.1f ms\n",
                kComputers, kSessions, kPlayed, firstMs);
    std::printf("catching up with journals read before (read and write): %.2f ms\n", catchUp);
    std::printf(
        "start-up of %d games without history: %.1f ms; with the database's history alone: "
        "%.1f ms; with journals too: %.1f ms; ratio %.3f (goal at most 1.20)\n",
        kFiles, plain, fromDatabase, withJournals, withJournals / plain);
    return 0;
}
