// The identification's worker: what reaches the window's thread, in which order, and what not.

#include "launcher/games/GameIdentification.h"
#include "support/FakeFolderIdentifier.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using identify::Verdict;

// Everything a worker tells, in order, as short lines.
struct Told {
    QStringList events;
    QStringList paths;  // every answer's name and verdict
    int finished = 0;
    explicit Told(GameIdentification& worker) {
        worker.progress = [this](const QString& text) {
            // The first of each kind; reading the sources may end before its progress shows.
            const QString kind = text.isEmpty() ? QStringLiteral("done") : text.section(u'.', 0, 0);
            if (!events.contains(kind) && !kind.startsWith("Reading")) events << kind;
        };
        worker.sourcesSkipped = [this](const QStringList& p) {
            events << QStringLiteral("skipped ") + p.join(u',');
        };
        worker.identified = [this](const std::vector<GameIdentification::Answer>& answers) {
            if (!events.contains("answers")) events << "answers";
            for (const auto& a : answers)
                paths << a.name + u'=' + identify::verdictText(a.identification.verdict);
        };
        worker.unavailable = [this] { events << "unavailable"; };
        worker.nothingToMatch = [this] { events << "nothing to match"; };
        worker.finished = [this] {
            events << "finished";
            ++finished;
        };
    }
    bool waitFinished(int count = 1) {
        return QTest::qWaitFor([&] { return finished >= count; }, 20000);
    }
};

class GameIdentificationTest : public ::testing::Test {
protected:
    GameIdentificationTest() {
        state->answers.insert("a.nes", fakes::identification(Verdict::Verified, "A.nes"));
        state->answers.insert("b.nes", fakes::identification(Verdict::CrcOnly, "B.nes"));
    }
    std::shared_ptr<fakes::IdentifierState> state = std::make_shared<fakes::IdentifierState>();
};

TEST_F(GameIdentificationTest, SourcesFirstThenAnswersThenTheEndOrNothingToMatch) {
    state->problems = {"broken.dat: not a DAT file"};
    GameIdentification worker(fakes::identifierFactory(state));
    Told told(worker);
    ASSERT_TRUE(worker.available());
    worker.request("/games/", {"a.nes", "b.nes", "c.nes"});
    EXPECT_TRUE(worker.running());
    ASSERT_TRUE(told.waitFinished());
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(told.events, (QStringList{"skipped broken.dat: not a DAT file", "answers",
                                        "Identifying games", "done", "finished"}));
    EXPECT_EQ(told.paths, (QStringList{"a.nes=verified", "b.nes=crc only", "c.nes=unknown"}));

    // The sources are read once; again only when asked (Ctrl+I). One identifier all along.
    for (const auto& [reread, refreshes] :
         {std::pair{false, 1}, std::pair{true, 2}, std::pair{false, 2}}) {
        worker.request("/games/", {"a.nes"}, reread);
        ASSERT_TRUE(told.waitFinished(told.finished + 1));
        std::lock_guard lock(state->mutex);
        EXPECT_EQ(state->refreshes, refreshes) << reread;
        EXPECT_EQ(state->made, 1);
    }

    // Sources without entries: no file is looked at and the request says so, until there are.
    for (const bool entries : {false, true}) {
        SCOPED_TRACE(entries);
        size_t asked = 0;
        {
            std::lock_guard lock(state->mutex);
            state->entries = entries;
            state->problems.clear();
            asked = size_t(state->asked.size());
        }
        told.events.clear();
        worker.request("/games/", {"a.nes", "b.nes"}, true);
        ASSERT_TRUE(told.waitFinished(told.finished + 1));
        EXPECT_EQ(told.events,
                  (entries ? QStringList{"answers", "Identifying games", "done", "finished"}
                           : QStringList{"nothing to match", "done", "finished"}));
        std::lock_guard lock(state->mutex);
        EXPECT_EQ(size_t(state->asked.size()), asked + (entries ? 1 : 0));
    }
}

// Answers of a request replaced or cancelled never land, even one posted; a new one is whole.
TEST_F(GameIdentificationTest, AnswersOfAReplacedOrCancelledRequestAreDropped) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "replaced");
        state = std::make_shared<fakes::IdentifierState>();
        state->answers.insert("b.nes", fakes::identification(Verdict::CrcOnly, "B.nes"));
        state->holdAfter = 1;
        GameIdentification worker(fakes::identifierFactory(state));
        Told told(worker);
        worker.request("/old/", {"a.nes", "b.nes"});
        ASSERT_TRUE(state->waitHolding());
        {
            std::lock_guard lock(state->mutex);
            state->holdAfter = -1;
        }
        if (cancel) {
            worker.cancel();
            EXPECT_FALSE(worker.running());
            state->release();
            worker.request("/new/", {"b.nes"});
        } else {
            worker.request("/new/", {"b.nes"});
            state->release();
        }
        ASSERT_TRUE(told.waitFinished());
        EXPECT_EQ(told.paths, (QStringList{"b.nes=crc only"}));
        EXPECT_EQ(told.finished, 1);
        std::lock_guard lock(state->mutex);
        EXPECT_EQ(state->refused, 1);
        ASSERT_EQ(state->asked.size(), 2);
        EXPECT_EQ(state->asked.at(1), (QStringList{"/new/b.nes"}));
    }
}

// Answers gathered before one delivery each reach the window once, in order, as they were.
TEST_F(GameIdentificationTest, AnswersGatheredMeanwhileKeepTheirNamesAndVerdicts) {
    QStringList names;
    for (int i = 0; i < 20000; ++i)
        names << QStringLiteral("g%1.nes").arg(i);
    names[16384] = "a.nes";
    names.back() = "b.nes";
    state->holdAfter = int(names.size()) - 1;
    GameIdentification worker(fakes::identifierFactory(state));
    Told told(worker);
    worker.request("/games/", names);
    ASSERT_TRUE(state->waitHolding());
    state->release();
    ASSERT_TRUE(told.waitFinished());
    ASSERT_EQ(told.paths.size(), names.size());
    EXPECT_EQ(told.paths[0], "g0.nes=unknown");
    EXPECT_EQ(told.paths.mid(16383, 2), QStringList({"g16383.nes=unknown", "a.nes=verified"}));
    EXPECT_EQ(told.paths.last(2), QStringList({"g19998.nes=unknown", "b.nes=crc only"}));
}

TEST_F(GameIdentificationTest, NoIdentifierIsSaidForEachRequest) {
    for (const bool factory : {false, true}) {  // without one, or with its database closed
        SCOPED_TRACE(factory);
        state->opens = !factory;
        GameIdentification worker(factory ? fakes::identifierFactory(state)
                                          : GameIdentification::Factory());
        EXPECT_EQ(worker.available(), factory);
        Told told(worker);
        for (int i = 1; i <= 2; ++i) {
            worker.request("/games/", {"a.nes"});
            ASSERT_TRUE(QTest::qWaitFor([&] { return told.events.size() == i; }, 20000));
        }
        EXPECT_EQ(told.events, (QStringList{"unavailable", "unavailable"}));
        EXPECT_FALSE(worker.running());
    }
}

TEST(IdentificationText, NamesWhatTheEntrySays) {
    using fakes::identification;
    identify::Identification zipped = identification(Verdict::Verified, "smb.nes", "smb.nes");
    zipped.matches.push_back(zipped.matches.front());
    identify::Identification unreadable;
    unreadable.problem = "Permission denied";
    const std::pair<identify::Identification, QString> cases[] = {
        {identification(Verdict::Verified, "smb.nes"),
         "Verified\nSuper Mario Bros.\n1985, Nintendo\nList: nes, smb"},
        {zipped,
         "Verified\nSuper Mario Bros.\n1985, Nintendo\nList: nes, smb (in the zip: smb.nes)\n"
         "and 1 more entry"},
        {identification(Verdict::CrcOnly, "smb.nes"),
         "CRC only (the SHA-1 differs: another dump, or a collision)\nSuper Mario Bros.\n1985, "
         "Nintendo\nList: nes, smb"},
        {identify::Identification(), "Unknown: in no software list or DAT file"},
        {unreadable, "Not identified: Permission denied"},
    };
    for (const auto& [found, text] : cases)
        EXPECT_EQ(identificationText(found), text);
}

}  // namespace
