// The play history in the window: sessions, columns, Ctrl+D, Ctrl+F, renames, journals.

#include "filelist/ListModel.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/ui/WindowFixture.h"
#include "library/JournalFormat.h"
#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "support/StepClock.h"

#include <QAbstractItemView>
#include <QPaintEvent>

#include <sqlite3.h>

namespace {

class FakeFollower final : public platform::ProcessFollower {
public:
    bool anyRunning() override { return running; }
    void setAsideRunning() override {
        if (setAside) setAside();
    }
    bool running = true;
    std::function<void()> setAside;
};

class HistoryWindow : public WindowTest {
protected:
    HistoryWindow() {
        EXPECT_TRUE(db.open(data.file(QStringLiteral("library.sqlite3"))).ok);
        history = &plays;
    }
    QString rom(const QString& name) const { return emu.file("roms/" + name); }
    QByteArray romBytes(const QString& name) const { return rom(name).toUtf8(); }
    QString cell(const QString& name, int column) const {
        return files()->list(listed().indexOf(name), column);
    }

    TempFolder data;
    library::LibraryDb db;
    StepClock clock{1'000'000, 1'750'000'000};
    FakeFollower follower;
    PlayHistory plays{db, clock, follower};
};

}  // namespace

// The columns fill in and are drawn again once the last process ends, wherever the window is.
TEST_F(HistoryWindow, ALaunchRecordsASessionAndTheRowIsDrawnAgainWhenItEnds) {
    openRoms({"a.nes", "b.nes"});
    auto* view = qobject_cast<QAbstractItemView*>(files()->currentView());
    ASSERT_TRUE(view);
    struct PaintLog final : QObject {
        QRegion painted;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
            return false;
        }
    } log;
    view->viewport()->installEventFilter(&log);
    // What runs already (a picture opened with Shift+Enter) is set aside before the start.
    qsizetype startedWhenSetAside = -1;
    follower.setAside = [&] { startedWhenSetAside = shell.started.size(); };
    for (const bool backFirst : {true, false}) {
        SCOPED_TRACE(backFirst ? "window back first" : "play ends first");
        select(backFirst ? "a.nes" : "b.nes");
        const QString name = files()->fileName();
        follower.running = true;
        launch();
        ASSERT_TRUE(plays.sessionRunning());
        EXPECT_EQ(startedWhenSetAside, shell.started.size() - 1);
        clock.mono += 40'000;
        plays.poll();  // still running: the length so far is stored
        EXPECT_EQ(db.summaries().value(romBytes(name)).seconds, 40);
        clock.mono += 45'000;
        if (backFirst) pollOnce();  // the emulator is gone: the window comes back
        QApplication::processEvents();
        log.painted = QRegion();
        follower.running = false;
        plays.poll();  // the last process has ended
        emulatorPoll()->setInterval(1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !emulatorPoll()->isActive(); }));
        // The raw size (model column 4) is not shown: the played column is the view's 4th.
        const QModelIndex played =
            view->model()->index(files()->listIndex(), ListModel::kPlayedColumn - 1);
        ASSERT_EQ(view->model()->data(played).toString(), "1") << name.toStdString();
        EXPECT_EQ(cell(name, 6), "1:25");
        EXPECT_TRUE(QTest::qWaitFor([&] { return log.painted.contains(view->visualRect(played)); }))
            << name.toStdString();
    }
}

// The notice is in the tip; a line under the list says what keeps files out, hiding no row.
TEST_F(HistoryWindow, CtrlDTogglesTheMarkAndCtrlFShowsOnlyFavourites) {
    plays.setNotice("The play history was damaged");
    openRoms({"a.nes", "b.nes", "c.nes"});
    EXPECT_TRUE(holds(files()->toolTip(), "The play history was damaged"));
    const auto line = [&]() -> QString {
        auto* label = window->findChild<QLabel*>(QStringLiteral("lblFilters"));
        return label && label->isVisible() ? label->text() : QString();
    };
    const QRect area = files()->geometry();
    select("b.nes");
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(db.isFavourite(romBytes("b.nes")));
    EXPECT_TRUE(files()->model().playFacts("b.nes").favourite);  // the star on its row
    EXPECT_EQ(listed(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    EXPECT_EQ(QApplication::focusWidget(), files()->currentView());  // the closing step ran
    EXPECT_EQ(line(), QString());

    press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(listed(), (QStringList{"b.nes"}));
    EXPECT_TRUE(holds(files()->toolTip(), "1 Favourite"));
    EXPECT_TRUE(begins(line(), "Favourites only"));
    auto* label = window->findChild<QLabel*>(QStringLiteral("lblFilters"));
    ASSERT_TRUE(label);
    EXPECT_FALSE(files()->geometry().intersects(label->geometry()));
    EXPECT_EQ(files()->geometry().united(label->geometry()), area);
    press(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(listed(), (QStringList{"a.nes", "b.nes", "c.nes"}));
    EXPECT_EQ(files()->toolTip(), "3 Files");
    EXPECT_EQ(line(), QString());
    EXPECT_EQ(files()->geometry(), area);

    dialogs.inputAnswers = {QString("a*"), QString("c*"), QString("")};
    press(Qt::Key_F4);
    EXPECT_TRUE(begins(line(), "1 file hidden"));
    press(Qt::Key_F4);
    EXPECT_TRUE(begins(line(), "2 files hidden"));
    press(Qt::Key_F4);  // an empty pattern shows them all again
    EXPECT_EQ(line(), QString());

    // Unmarked while only favourites show, the game leaves the list.
    press(Qt::Key_F, Qt::ControlModifier);
    files()->setListIndex(0);
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(db.isFavourite(romBytes("b.nes")));
    EXPECT_EQ(listed(), QStringList());
    EXPECT_TRUE(begins(files()->toolTip(), "0 Favourites"));
}

// F2, F8 and F7: the history and the mark go with the game, a removed copy's to the one kept.
TEST_F(HistoryWindow, RenamesAndDuplicatesCarryHistoryAndMark) {
    emu.write("roms/a.nes", "same bytes");
    emu.write("roms/b.nes", "same bytes");
    openRoms({});
    select("b.nes");
    launch();
    clock.mono += 20'000;
    follower.running = false;
    plays.poll();
    press(Qt::Key_D, Qt::ControlModifier);
    dialogs.inputAnswers = {QString("z (J).nes"), QString("(J)")};
    press(Qt::Key_F2);
    ASSERT_EQ(listed(), (QStringList{"a.nes", "z (J).nes"}));
    EXPECT_EQ(cell("z (J).nes", 5), "1");
    EXPECT_TRUE(files()->model().playFacts("z (J).nes").favourite);
    EXPECT_FALSE(db.summaries().contains(romBytes("b.nes")));

    press(Qt::Key_F8);
    waitForMessages(1);
    ASSERT_EQ(listed(), (QStringList{"a.nes", "z.nes"}));
    EXPECT_EQ(cell("z.nes", 5), "1");
    EXPECT_TRUE(db.isFavourite(romBytes("z.nes")));

    // Counted and not removed: the copy keeps its own plays.
    dialogs.messageAnswers = {platform::MessageAnswer::Cancel, platform::MessageAnswer::Ok};
    press(Qt::Key_F7);
    waitForMessages(2);
    ASSERT_EQ(listed(), (QStringList{"a.nes", "z.nes"}));
    EXPECT_TRUE(db.summaries().contains(romBytes("z.nes")));
    EXPECT_FALSE(db.isFavourite(romBytes("a.nes")));
    press(Qt::Key_F7);
    waitForMessages(4);
    ASSERT_EQ(listed(), QStringList{"a.nes"});
    EXPECT_EQ(cell("a.nes", 5), "1");
    EXPECT_TRUE(db.isFavourite(romBytes("a.nes")));
    EXPECT_FALSE(db.summaries().contains(romBytes("z.nes")));
}

// A disk that takes no more writes: the lost play and mark are each said once, however often.
TEST_F(HistoryWindow, WritesThatFailAreSaidOnceEach) {
    openRoms({"a.nes", "b.nes"});
    ASSERT_EQ(sqlite3_exec(db.handle(), "PRAGMA query_only=1", nullptr, nullptr, nullptr),
              SQLITE_OK);
    for (const char* game : {"a.nes", "b.nes"}) {
        select(game);
        launch();
        EXPECT_FALSE(plays.sessionRunning());
    }
    select("a.nes");
    press(Qt::Key_D, Qt::ControlModifier);
    press(Qt::Key_D, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(begins(said()[0], "This play cannot be recorded"));
    EXPECT_TRUE(begins(said()[1], "The favourite mark cannot be saved"));
    EXPECT_TRUE(holds(said()[1], "readonly"));  // SQLite's reason
}

// A listing's journal news reach the columns; a mark reaches the journal.
TEST_F(HistoryWindow, AListedFolderReadsAndWritesItsJournals) {
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return cell("a.nes", 5) == QStringLiteral("1"); }, 10000));
    select("b.nes");
    press(Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return emu.read(journal(self)).contains("\tmark\tb.nes\t1\t"); }, 10000));
}
