// The window's side of the games folders' journals: a listing hands the folder to the
// journal thread, whose news reach the list's columns, and a mark reaches the journal.

#include "launcher/games/PlayHistory.h"
#include "launcher/ui/WindowFixture.h"
#include "library/JournalFormat.h"
#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "platform/Descendants.h"
#include "support/StepClock.h"

namespace {

class JournalWindow : public WindowTest {
protected:
    JournalWindow() {
        EXPECT_TRUE(db.open(data.file(QStringLiteral("library.sqlite3"))).ok);
        history = &plays;
    }
    TempFolder data;
    library::LibraryDb db;
    StepClock clock{1'000'000, 1'750'000'000};
    NothingRuns nothing;
    PlayHistory plays{db, clock, nothing};
};

}  // namespace

TEST_F(JournalWindow, AListedFolderReadsAndWritesItsJournals) {
    using namespace library::journal;
    const QByteArray self(32, 'a'), other(32, 'b');
    const auto journal = [](const QByteArray& id) {
        return QStringLiteral("roms/.rombard/") + QString::fromLatin1(id) +
               QStringLiteral(".journal");
    };
    emu.write(journal(other),
              headerLine(other) + recordLine(Play{"s1", "a.nes", 1'700'000'000, 20, {}}));
    plays.shareThroughJournals(self);
    openRoms({"a.nes", "b.nes"});
    const auto cell = [&](const QString& name) { return files()->list(listed().indexOf(name), 5); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return cell("a.nes") == QStringLiteral("1"); }, 10000));
    files()->setListIndex(listed().indexOf("b.nes"));
    files()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return emu.read(journal(self)).contains("\tmark\tb.nes\t1\t"); }, 10000));
}
