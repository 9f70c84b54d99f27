// The play history's costs. Start-up over 30,000 games of which 10,000 have history, against
// the same start-up without the history (goal: at most 10% more); and recording a
// session's end and toggling a favourite on a database of 100,000 sessions (goal: under
// 5 ms each). Both sides of the ratio are measured in the same run.

#include "BenchWindow.h"
#include "HistoryBench.h"
#include "Quick.h"
#include "TimeReporter.h"
#include "filelist/ui/FileListView.h"
#include "launcher/games/PlayHistory.h"
#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "platform/Descendants.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

const int kFiles = bench::kHistoryFiles;
const int kPlayed = bench::kHistoryPlayed;
const int kSessions = bench::kHistorySessions;
const int kRuns = bench::kHistoryRuns;
const auto gameName = bench::historyGameName;
using bench::NothingRuns;

// Fills the log the way years of use would: kSessions sessions over the first kPlayed
// games, a tenth of them marked.
void fillLog(const QString& file, const QString& roms) {
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* add = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO sessions(path, emulator, started, duration) VALUES(?,?,?,?)",
                       -1, &add, nullptr);
    for (int i = 0; i < kSessions; ++i) {
        const QByteArray path = (roms + gameName(i % kPlayed)).toUtf8();
        sqlite3_bind_blob(add, 1, path.constData(), static_cast<int>(path.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(add, 2, "snes9x", -1, SQLITE_STATIC);
        sqlite3_bind_int64(add, 3, 1'600'000'000 + i * 600);
        sqlite3_bind_int64(add, 4, (i * 37) % 7200);
        sqlite3_step(add);
        sqlite3_reset(add);
    }
    sqlite3_finalize(add);
    sqlite3_stmt* mark = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO favourites(path) VALUES(?)", -1, &mark, nullptr);
    for (int i = 0; i < kPlayed; i += 10) {
        const QByteArray path = (roms + gameName(i)).toUtf8();
        sqlite3_bind_blob(mark, 1, path.constData(), static_cast<int>(path.size()),
                          SQLITE_TRANSIENT);
        sqlite3_step(mark);
        sqlite3_reset(mark);
    }
    sqlite3_finalize(mark);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::WindowServices fixture;
    const QString roms = fixture.fillRoms(kFiles, gameName);
    QTemporaryDir data;
    const QString file = data.path() + QStringLiteral("/library.sqlite3");
    library::LibraryDb db;
    if (!db.open(file).ok) return 1;
    fillLog(file, roms);
    library::SystemPlayClock clock;
    NothingRuns nothing;
    PlayHistory history(db, clock, nothing);

    // Each start-up with history has a history of its own, so it reads the log from the
    // file as a launcher starting does.
    const auto startOnce = [&](PlayHistory* with) {
        MainWindowServices s = fixture.services();
        std::optional<PlayHistory> fresh;
        if (with) fresh.emplace(db, clock, nothing);
        s.history = fresh ? &*fresh : nullptr;
        MainWindow window(s);
        window.start();
        return window.findChild<FileListView*>(QStringLiteral("Files"))->listCount();
    };
    if (startOnce(&history) != kFiles || startOnce(nullptr) != kFiles) {
        std::fprintf(stderr, "the list did not fill with %d files\n", kFiles);
        return 1;
    }
    // Alternated, so a slower moment of the machine falls on both sides alike; the best
    // median of each side counts.
    std::vector<double> without, with;
    for (int round = 0; round < 3; ++round) {
        without.push_back(bench::medianMs(kRuns, [&] { startOnce(nullptr); }));
        with.push_back(bench::medianMs(kRuns, [&] { startOnce(&history); }));
    }
    const double plain = *std::min_element(without.begin(), without.end());
    const double withHistory = *std::min_element(with.begin(), with.end());

    const QByteArray game = (roms + gameName(42)).toUtf8();
    qint64 seconds = 0;
    const auto session = db.beginSession(game, QStringLiteral("snes9x"), 1'700'000'000);
    const double end = bench::medianMs(kRuns, [&] { db.setSessionSeconds(*session, ++seconds); });
    const double toggle = bench::medianMs(kRuns, [&] { db.toggleFavourite(game); });
    const double lookup = bench::medianMs(kRuns, [&] {
        PlayHistory once(db, clock, nothing);
        once.factsForFolder(roms);
    });

    std::printf(
        "start-up without history: %.1f ms; with history (%d of %d games played, "
        "%d sessions): %.1f ms; ratio %.3f (goal at most 1.10)\n",
        plain, kPlayed, kFiles, kSessions, withHistory, withHistory / plain);
    std::printf("the folder's play facts in one query: %.1f ms\n", lookup);
    std::printf(
        "recording a session's end: %.3f ms; toggling a favourite: %.3f ms "
        "(goal under 5 ms each, %d sessions)\n",
        end, toggle, kSessions);
    return 0;
}
