#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "support/StepClock.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using library::LibraryDb;
using library::PlaySession;

namespace {
// What the log holds for the game right now, as a second launcher would read it.
qint64 storedSeconds(const QString& file) {
    LibraryDb reader;
    if (!reader.open(file).ok) return -1;
    // Short sessions do not show in the totals; the tests run long ones.
    return reader.summaries().value("/g/a.nes").seconds;
}
}  // namespace

// The row is there from the start and its length follows every 30 s, so a killed
// launcher loses at most that; the end writes the exact length.
TEST(PlaySession, LengthIsWrittenEveryThirtySecondsAndAtTheEndOnTheSteadyClock) {
    TempFolder t;
    const QString file = t.file(QStringLiteral("library.sqlite3"));
    LibraryDb db;
    ASSERT_TRUE(db.open(file).ok);
    StepClock clock{5'000'000, 1'700'000'000};
    PlaySession session(db, clock);
    ASSERT_TRUE(session.begin("/g/a.nes", QStringLiteral("stella")));
    struct Step {
        qint64 advanceMs;
        qint64 stored;  // what a reader finds after the tick (0 below ten seconds)
    };
    const std::vector<Step> steps = {
        {1'000, 0},     // 1 s: nothing written yet
        {28'999, 0},    // 29.999 s
        {1, 30},        // 30 s: written
        {20'000, 30},   // 50 s: not yet
        {10'000, 60},   // 60 s
        {45'000, 105},  // 105 s: a late tick writes what it measures
    };
    for (const Step& s : steps) {
        clock.mono += s.advanceMs;
        session.tick();
        EXPECT_EQ(storedSeconds(file), s.stored) << "at " << clock.mono;
    }
    clock.mono += 2'500;
    session.end();
    EXPECT_EQ(storedSeconds(file), 107);
    EXPECT_FALSE(session.running());
    // Ticks after the end change nothing.
    clock.mono += 60'000;
    session.tick();
    EXPECT_EQ(storedSeconds(file), 107);

    // Time is measured on the clock that stands still during a suspend; the wall clock only
    // says when the play began. A new launch ends the session still open.
    ASSERT_TRUE(session.begin("/g/b.nes", QString()));
    const qint64 began = clock.wall;
    clock.wall += 8 * 3600;  // the night the machine slept
    clock.mono += 15'000;
    ASSERT_TRUE(session.begin("/g/c.nes", QString()));
    clock.mono += 3'000;
    session.end();
    const auto all = db.summaries();
    EXPECT_EQ(all.value("/g/b.nes").seconds, 15);
    EXPECT_EQ(all.value("/g/b.nes").lastPlayed, began);
    EXPECT_EQ(all.value("/g/c.nes").plays, 0);  // three seconds: kept, not counted
}
