// Identification in the window: the "Verified" column, the tip, Ctrl+I and Ctrl+N.

#include "launcher/ui/WindowFixture.h"
#include "support/FakeFolderIdentifier.h"

namespace {

using fakes::identification;
using identify::Verdict;

class IdentifyWindow : public WindowTest {
protected:
    IdentifyWindow() {
        state->answers.insert("a.nes",
                              identification(Verdict::Verified, "Super Mario Bros. (World).nes"));
        state->answers.insert("b.nes", identification(Verdict::CrcOnly, "B.nes"));
        state->answers.insert("c.nes", identification(Verdict::BadDump, "C.nes"));
        identifier = fakes::identifierFactory(state);
    }
    ~IdentifyWindow() override { state->release(); }

    // Listed before it is first shown, so that one identification runs, for this listing.
    void open(const QStringList& names) {
        program(QStringLiteral("Nestopia"));
        for (const QString& n : names)
            emu.write("roms/" + n, n.toUtf8());
        start();
        listAll();
        window->show();
        activate();
        files()->setListIndex(0);
    }
    QString cell(const QString& name) const {
        return files()->list(listed().indexOf(name), ListModel::kVerifiedColumn);
    }
    // Until every listed game has its answer.
    bool answered() {
        return QTest::qWaitFor(
            [&] {
                for (const QString& name : listed())
                    if (files()->model().verifiedMark(name) == VerifiedMark::NotYet) return false;
                return true;
            },
            20000);
    }
    QStringList shots() const { return QDir(emu.file("shots")).entryList(QDir::Files); }

    std::shared_ptr<fakes::IdentifierState> state = std::make_shared<fakes::IdentifierState>();
};

}  // namespace

// A folder shown from its index is identified, also when its names bring no change.
TEST_F(IdentifyWindow, AFolderShownFromItsIndexIsIdentified) {
    readsFoldersInBackground = true;
    startWith("Nestopia", {"a.nes", "b.nes"}, Shown::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    // Listed again: the index kept by the first reading is shown, then the same names.
    files()->setPattern(files()->folderList().pattern());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !files()->folderList().reading(); }, 20000));
    ASSERT_EQ(files()->listCount(), 2);
    ASSERT_TRUE(answered());
    EXPECT_EQ(cell("a.nes"), QString(u'\u2714'));
}

// Ctrl+I reads the sources again; a broken source is said then and at start, not per listing.
TEST_F(IdentifyWindow, TheColumnFillsTheTipNamesTheEntryAndCtrlIIdentifiesAgain) {
    state->problems = {"broken.dat: not a DAT file"};
    open({"a.nes", "b.nes", "c.nes", "d.nes"});
    ASSERT_TRUE(answered());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages.size() == 1; }, 20000));
    EXPECT_TRUE(holds(said()[0], "broken.dat: not a DAT file"));
    EXPECT_EQ(state->refreshes, 1);
    EXPECT_TRUE(files()->model().columnShown(ListModel::kVerifiedColumn));
    EXPECT_EQ(cell("a.nes"), QString(u'\u2714'));
    EXPECT_EQ(cell("b.nes"), QString(u'\u2248'));
    // The listing asked once, for the listed files, and the progress left the tip.
    ASSERT_EQ(state->asked.size(), 1);
    EXPECT_EQ(state->asked.first().size(), 4);
    EXPECT_FALSE(holds(files()->toolTip(), "Identifying"));
    select("b.nes");
    select("a.nes");
    settle();
    EXPECT_TRUE(holds(title()->toolTip(), "\nVerified\n"));
    select("d.nes");
    EXPECT_TRUE(holds(title()->toolTip(), "Unknown"));

    files()->refresh();  // a listing: answers again, sources as they were, nothing said
    ASSERT_TRUE(answered());
    EXPECT_EQ(state->refreshes, 1);

    {
        std::lock_guard lock(state->mutex);
        state->answers.insert("b.nes", identification(Verdict::Verified, "B.nes"));
    }
    press(Qt::Key_I, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return cell("b.nes") == QString(u'\u2714'); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages.size() == 2; }, 20000));
    EXPECT_EQ(state->refreshes, 2);
    EXPECT_EQ(QApplication::focusWidget(), files()->currentView());
}

// Without an identifier, or its database: no column, and the keys say why.
TEST_F(IdentifyWindow, WithoutIdentificationTheColumnHidesAndTheKeysSaySo) {
    struct Case {
        const char* what;
        bool factory;
        QString saying;
    };
    for (const Case& c : {Case{"no identifier", false, "cannot be identified"},
                          Case{"database closed", true, "could not be opened"}}) {
        SCOPED_TRACE(c.what);
        window.reset();
        dialogs.messages.clear();
        state->opens = false;
        identifier = c.factory ? fakes::identifierFactory(state) : nullptr;
        open({"a.nes"});
        // The worker has said it has no identifier by the time Ctrl+I's answer comes.
        press(Qt::Key_I, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialogs.messages.size() == 1; }, 20000));
        press(Qt::Key_N, Qt::ControlModifier);
        ASSERT_EQ(dialogs.messages.size(), 2);
        for (const QString& text : said())
            EXPECT_TRUE(holds(text, c.saying));
        EXPECT_FALSE(files()->model().columnShown(ListModel::kVerifiedColumn));
        EXPECT_EQ(onDisk(), QStringList{"a.nes"});
        EXPECT_EQ(QApplication::focusWidget(), files()->currentView());  // the closing step ran
    }
}

// Ctrl+N asks with both names; the game and its screenshot move only on OK.
TEST_F(IdentifyWindow, CtrlNRenamesTheVerifiedGameAfterTheConfirmation) {
    emu.write("shots/a.png", "picture");
    open({"a.nes", "b.nes"});
    ASSERT_TRUE(answered());
    select("a.nes");
    dialogs.messageAnswers = {platform::MessageAnswer::Cancel, platform::MessageAnswer::Ok};
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_TRUE(holds(said()[0], "'a.nes'\nto 'Super Mario Bros. (World).nes'"));
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes"}));
    EXPECT_EQ(shots(), QStringList{"a.png"});

    press(Qt::Key_N, Qt::ControlModifier);
    // The move is made on the one-file commands' thread.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return files()->fileName() == "Super Mario Bros. (World).nes"; }));
    EXPECT_EQ(onDisk(), (QStringList{"Super Mario Bros. (World).nes", "b.nes"}));
    EXPECT_EQ(shots(), QStringList{"Super Mario Bros. (World).png"});
    EXPECT_EQ(emu.read("roms/Super Mario Bros. (World).nes"), QByteArray("a.nes"));
}

TEST_F(IdentifyWindow, CtrlNSaysWhyAGameKeepsItsName) {
    state->holdAfter = 2;  // c.nes stays unanswered until the end
    open({"a.nes", "b.nes", "c.nes"});
    ASSERT_TRUE(state->waitHolding());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cell("b.nes").isEmpty(); }, 20000));
    select("c.nes");
    press(Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.first().buttons, platform::MessageButtons::Ok);
    EXPECT_TRUE(holds(said()[0], "not been identified yet"));
    state->release();
    EXPECT_EQ(onDisk(), (QStringList{"a.nes", "b.nes", "c.nes"}));
}

// Another folder listed while the first is read: the rows show only its own answers.
TEST_F(IdentifyWindow, AnswersForTheFolderLeftNeverLand) {
    emu.write("other/b.nes", "other");
    state->answers.insert(emu.file("roms/b.nes"), identification(Verdict::Verified, "B.nes"));
    state->holdAfter = 1;
    open({"a.nes", "b.nes"});
    ASSERT_TRUE(state->waitHolding());
    {
        std::lock_guard lock(state->mutex);
        state->holdAfter = -1;
    }
    files()->setPath(emu.file("other"));
    QApplication::processEvents();
    state->release();
    ASSERT_TRUE(answered());
    EXPECT_EQ(listed(), QStringList{"b.nes"});
    EXPECT_EQ(files()->model().verifiedMark("b.nes"), VerifiedMark::CrcOnly);
    EXPECT_EQ(files()->model().verifiedMark("a.nes"), VerifiedMark::NotYet);
    select("b.nes");
    EXPECT_FALSE(holds(title()->toolTip(), "Verified"));
}
