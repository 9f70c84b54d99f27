// The pad's keys take the keyboard's routes; ignored while a game runs or elsewhere active.

#include "launcher/ui/WindowFixture.h"
#include "platform/Gamepad.h"
#include "platform/ui/FocusKeystrokeSender.h"

#include <QPointer>

#include <functional>

namespace {

using platform::PadAxis;
using platform::PadButton;
using platform::PadEvent;

PadEvent buttonEvent(PadButton b, bool pressed) {
    return {.pad = 3, .name = {}, .button = b, .pressed = pressed};
}
PadEvent axisEvent(PadAxis a, double value) {
    return {.kind = PadEvent::Kind::Axis, .pad = 3, .name = {}, .axis = a, .value = value};
}

// Events handed to the window as the test says, on a clock the test sets.
class FakeGamepads : public platform::Gamepads {
public:
    void setReceiver(QObject* context, std::function<void(const PadEvent&)> receive) override {
        m_context = context;
        m_receive = std::move(receive);
    }
    qint64 nowMs() const override { return now; }
    // The keys typed arrive once the event loop has run.
    void send(const PadEvent& e) {
        if (m_context && m_receive) m_receive(e);
        QCoreApplication::processEvents();
    }
    void click(PadButton b) {
        send(buttonEvent(b, true));
        send(buttonEvent(b, false));
    }
    qint64 now = 0;

private:
    QPointer<QObject> m_context;
    std::function<void(const PadEvent&)> m_receive;
};

class GamepadWindowTest : public WindowTest {
protected:
    GamepadWindowTest() {
        keystrokeSender = &focusKeys;
        gamepads = &pads;
    }
    ~GamepadWindowTest() override { window.reset(); }

    // Thirty games, the window active with the focus in the file list.
    void startWithGames() {
        QStringList names;
        for (int i = 0; i < 30; ++i)
            names << QStringLiteral("g%1.smc").arg(i, 2, 10, QLatin1Char('0'));
        startWith("zsnes", names, Shown::Active);
        files()->setFocus();
    }

    platform::FocusKeystrokeSender focusKeys;
    FakeGamepads pads;
};

// The pad's keys reach the control with the focus and do there what the keyboard's do.
TEST_F(GamepadWindowTest, PadControlsTakeTheKeyboardsRoutes) {
    startWithGames();
    struct Step {
        const char* what;
        std::function<void()> act;
        int index;
        const char* focus;  // the control that has the focus afterwards, if it matters
    };
    const auto click = [&](PadButton b) { return [this, b] { pads.click(b); }; };
    const auto tilt = [&](PadAxis a, double value) {
        return [this, a, value] { pads.send(axisEvent(a, value)); };
    };
    const Step steps[] = {
        {"right trigger: End", tilt(PadAxis::RightTrigger, 1), 29, "Files"},
        {"left trigger: Home", tilt(PadAxis::LeftTrigger, 0.9), 0, "Files"},
        {"d-pad down", click(PadButton::DpadDown), 1, "Files"},
        {"back: Shift+Right to the box", click(PadButton::Back), 1, "txtCommandLine"},
        {"d-pad down in the box", click(PadButton::DpadDown), 2, "txtCommandLine"},
        {"B in the empty box: back to the list", click(PadButton::East), 2, "Files"},
        {"B on the list: the folder lists", click(PadButton::East), 2, nullptr},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(files()->listIndex(), s.index);
        if (s.focus) {
            QWidget* to = control<QWidget>(s.focus);
            EXPECT_TRUE(to == focused() || to->isAncestorOf(focused())) << s.focus;
        }
    }
    EXPECT_TRUE(folderList()->isVisible());
    EXPECT_TRUE(shell.started.isEmpty());

    // Plugging a pad in shows its name on the list for a while.
    pads.send({.kind = PadEvent::Kind::Added, .name = QStringLiteral("Couch Pad")});
    EXPECT_EQ(files()->toolTip(), "Gamepad connected: Couch Pad");
    QTimer* tip = control<QTimer>("gamepadTip");
    ASSERT_TRUE(tip->isActive());
    tip->setInterval(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return files()->toolTip() == "30 Files"; }));
}

// A direction held repeats on the pad's clock; the window asks for the repeat when it is due.
TEST_F(GamepadWindowTest, HeldDirectionRepeatsWhenItsTimeComes) {
    startWithGames();
    QTimer* repeat = control<QTimer>("gamepadRepeat");
    pads.send(buttonEvent(PadButton::DpadDown, true));
    EXPECT_EQ(files()->listIndex(), 1);
    ASSERT_TRUE(repeat->isActive());
    EXPECT_EQ(repeat->interval(), 500);
    // The pad's time, and the game selected then.
    const std::pair<qint64, int> ticks[] = {{499, 1}, {500, 2}, {549, 2}, {550, 3}, {600, 4}};
    for (const auto& [at, index] : ticks) {
        SCOPED_TRACE(at);
        pads.now = at;
        // A move of the right stick types nothing but lets the window look at the time.
        pads.send(axisEvent(PadAxis::RightX, 0.1 + double(at) / 10000));
        if (index > files()->listIndex()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return files()->listIndex() == index; }));
        } else {
            // Asked for when due by the pad's clock, never after the next 50 ms repeat.
            EXPECT_GT(repeat->interval(), 0);
            EXPECT_LE(repeat->interval(), 50);
        }
        EXPECT_EQ(files()->listIndex(), index);
    }
    pads.send(buttonEvent(PadButton::DpadDown, false));
    EXPECT_FALSE(repeat->isActive());
}

// Ignored while away; a button held when the game ends counts only once let go.
TEST_F(GamepadWindowTest, IgnoredWhileAnotherWindowIsActiveOrAGameRuns) {
    startWithGames();
    QWidget other;
    other.show();
    activate(&other);
    pads.click(PadButton::DpadDown);
    pads.click(PadButton::South);
    EXPECT_EQ(files()->listIndex(), 0);
    EXPECT_TRUE(shell.started.isEmpty());

    activate();
    files()->setFocus();
    pads.click(PadButton::DpadDown);
    EXPECT_EQ(files()->listIndex(), 1);
    processes.running = {"zsnes.exe"};
    pads.click(PadButton::South);
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_TRUE(emulatorPoll()->isActive());

    // The game's own presses.
    pads.click(PadButton::DpadDown);
    pads.click(PadButton::South);
    pads.click(PadButton::East);
    pads.send(buttonEvent(PadButton::DpadDown, true));
    pads.send(buttonEvent(PadButton::South, true));
    pads.now = 100000;  // any repeat long due
    processes.running.clear();
    pollOnce();
    ASSERT_FALSE(emulatorPoll()->isActive());
    activate();
    pads.send(axisEvent(PadAxis::RightX, 1));
    EXPECT_FALSE(control<QTimer>("gamepadRepeat")->isActive());
    pads.send(buttonEvent(PadButton::South, false));
    pads.send(buttonEvent(PadButton::DpadDown, false));
    EXPECT_EQ(files()->listIndex(), 1);
    EXPECT_EQ(shell.started.size(), 1);
    EXPECT_TRUE(folderList()->isHidden());
    // Let go and pressed again, they count.
    pads.click(PadButton::DpadDown);
    EXPECT_EQ(files()->listIndex(), 2);
}

}  // namespace
