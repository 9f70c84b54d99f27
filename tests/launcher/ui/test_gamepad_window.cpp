// The window driven by a pad: the pad's keys take the keyboard's routes to the focused
// control, and the pad is ignored while a game runs or another window has the focus.

#include "launcher/ui/WindowFixture.h"
#include "platform/Gamepad.h"
#include "platform/SdlGamepads.h"
#include "platform/ui/FocusKeystrokeSender.h"
#include "support/VirtualPad.h"

#include <QPointer>

#include <functional>

namespace {

using platform::PadAxis;
using platform::PadButton;
using platform::PadEvent;

PadEvent buttonEvent(PadButton b, bool pressed) {
    PadEvent e;
    e.pad = 3;
    e.button = b;
    e.pressed = pressed;
    return e;
}
PadEvent axisEvent(PadAxis a, double value) {
    PadEvent e;
    e.kind = PadEvent::Kind::Axis;
    e.pad = 3;
    e.axis = a;
    e.value = value;
    return e;
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

// Hands a real service's events to the window and keeps a copy, so that a test knows when
// the window has heard of a change.
class HeardGamepads : public platform::Gamepads {
public:
    explicit HeardGamepads(platform::Gamepads& inner) : m_inner(inner) {}
    void setReceiver(QObject* context, std::function<void(const PadEvent&)> receive) override {
        m_inner.setReceiver(context, [this, receive](const PadEvent& e) {
            heard.append(e);
            if (receive) receive(e);
        });
    }
    qint64 nowMs() const override { return m_inner.nowMs(); }
    QList<PadEvent> heard;

private:
    platform::Gamepads& m_inner;
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
        program("zsnes");
        QStringList names;
        for (int i = 0; i < 30; ++i)
            names << QStringLiteral("g%1.smc").arg(i, 2, 10, QLatin1Char('0'));
        roms(names);
        start(Shown::Active);
        files()->setFocus();
    }
    bool focusIn(QWidget* control) const {
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            if (w == control) return true;
        return false;
    }

    platform::FocusKeystrokeSender focusKeys;
    FakeGamepads pads;
};

// Every control of the pad that types reaches the control with the focus as its key, and
// the key does there what it does from the keyboard.
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
        {"let go", tilt(PadAxis::RightTrigger, 0), 29, "Files"},
        {"left trigger: Home", tilt(PadAxis::LeftTrigger, 0.9), 0, "Files"},
        {"right shoulder: Page Down", click(PadButton::RightShoulder), -2, "Files"},
        {"left shoulder: Page Up", click(PadButton::LeftShoulder), 0, "Files"},
        {"stick at the dead zone", tilt(PadAxis::LeftY, 0.5), 0, "Files"},
        {"stick down", tilt(PadAxis::LeftY, 0.8), 1, "Files"},
        {"stick back", tilt(PadAxis::LeftY, 0), 1, "Files"},
        {"d-pad down", click(PadButton::DpadDown), 2, "Files"},
        {"start: no folder picker", click(PadButton::Start), 2, "Files"},
        {"back: Shift+Right to the box", click(PadButton::Back), 2, "txtCommandLine"},
        {"d-pad down in the box", click(PadButton::DpadDown), 3, "txtCommandLine"},
        {"B in the empty box: back to the list", click(PadButton::East), 3, "Files"},
        {"B on the list: the folder lists", click(PadButton::East), 3, nullptr},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        if (s.index == -2)
            EXPECT_GT(files()->listIndex(), 1);
        else
            EXPECT_EQ(files()->listIndex(), s.index);
        if (s.focus) {
            EXPECT_TRUE(focusIn(control<QWidget>(s.focus)))
                << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName()
                                                : QStringLiteral("none"))
                       .toStdString();
        }
    }
    EXPECT_TRUE(folderList()->isVisible());
    EXPECT_TRUE(dialogs.folderPicks.isEmpty());
    EXPECT_TRUE(shell.started.isEmpty());
}

// A direction held repeats on the pad's clock; the window asks for the repeat when it is due.
TEST_F(GamepadWindowTest, HeldDirectionRepeatsWhenItsTimeComes) {
    startWithGames();
    QTimer* repeat = control<QTimer>("gamepadRepeat");
    pads.send(buttonEvent(PadButton::DpadDown, true));
    EXPECT_EQ(files()->listIndex(), 1);
    ASSERT_TRUE(repeat->isActive());
    EXPECT_EQ(repeat->interval(), 500);
    struct Tick {
        qint64 at;
        int index;
    };
    const Tick ticks[] = {{499, 1}, {500, 2}, {549, 2}, {550, 3}, {600, 4}};
    for (const Tick& t : ticks) {
        SCOPED_TRACE(t.at);
        pads.now = t.at;
        // A move of the right stick types nothing but lets the window look at the time.
        pads.send(axisEvent(PadAxis::RightX, 0.1 + double(t.at) / 10000));
        if (t.index > files()->listIndex()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return files()->listIndex() == t.index; }));
        } else {
            EXPECT_GT(repeat->interval(), 0);
        }
        EXPECT_EQ(files()->listIndex(), t.index);
    }
    pads.send(buttonEvent(PadButton::DpadDown, false));
    EXPECT_FALSE(repeat->isActive());
}

// While another window has the focus or a game runs, the pad does nothing; a button held
// when the game ends does nothing until it is let go.
TEST_F(GamepadWindowTest, IgnoredWhileAnotherWindowIsActiveOrAGameRuns) {
    startWithGames();
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    pads.click(PadButton::DpadDown);
    pads.click(PadButton::South);
    EXPECT_EQ(files()->listIndex(), 0);
    EXPECT_TRUE(shell.started.isEmpty());

    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
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
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
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

TEST_F(GamepadWindowTest, PluggingInShowsThePadsNameOnTheListForAWhile) {
    startWithGames();
    PadEvent added;
    added.kind = PadEvent::Kind::Added;
    added.name = QStringLiteral("Couch Pad");
    pads.send(added);
    EXPECT_EQ(files()->toolTip(), "Gamepad connected: Couch Pad");
    QTimer* tip = control<QTimer>("gamepadTip");
    ASSERT_TRUE(tip->isActive());
    EXPECT_GE(tip->interval(), 2000);
    tip->setInterval(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return files()->toolTip() == "30 Files"; }));
}

// The real pad service with SDL's virtual game controller: down three rows, A launches the
// fourth game, the pad does nothing while it runs, B shows the folder lists; plugging in and
// out is seen. The clock stands still, so no repeat comes however slow the machine.
TEST_F(GamepadWindowTest, SdlVirtualControllerDrivesTheWindow) {
    platform::SdlGamepads sdl(config.file("Rombard/gamecontrollerdb.txt"), [] { return 0; });
    ASSERT_TRUE(sdl.waitUntilStarted());
    HeardGamepads heard(sdl);
    gamepads = &heard;
    startWithGames();
    VirtualPad pad("Rombard Test Pad");
    ASSERT_TRUE(pad.plugged());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return files()->toolTip() == "Gamepad connected: Rombard Test Pad"; }));

    // SDL reads the pad's state, not its history: each change waits until the window heard it.
    const auto set = [&](SDL_GameControllerButton b, PadButton as, bool down) {
        const qsizetype before = heard.heard.size();
        pad.setButton(b, down);
        EXPECT_TRUE(QTest::qWaitFor([&] {
            for (qsizetype i = before; i < heard.heard.size(); ++i)
                if (heard.heard[i].button == as && heard.heard[i].pressed == down) return true;
            return false;
        }));
        QCoreApplication::processEvents();  // the key it typed
    };
    const auto click = [&](SDL_GameControllerButton b, PadButton as) {
        set(b, as, true);
        set(b, as, false);
    };
    for (int i = 0; i < 3; ++i)
        click(SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadButton::DpadDown);
    EXPECT_EQ(files()->listIndex(), 3);
    processes.running = {"zsnes.exe"};
    click(SDL_CONTROLLER_BUTTON_A, PadButton::South);
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_EQ(shell.started.first().arguments.last(), folder() + "roms/g03.smc");
    EXPECT_TRUE(emulatorPoll()->isActive());

    click(SDL_CONTROLLER_BUTTON_DPAD_DOWN, PadButton::DpadDown);
    click(SDL_CONTROLLER_BUTTON_A, PadButton::South);
    click(SDL_CONTROLLER_BUTTON_B, PadButton::East);
    set(SDL_CONTROLLER_BUTTON_A, PadButton::South, true);  // held as the game ends
    EXPECT_EQ(files()->listIndex(), 3);
    EXPECT_EQ(shell.started.size(), 1);
    EXPECT_TRUE(folderList()->isHidden());

    processes.running.clear();
    pollOnce();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    set(SDL_CONTROLLER_BUTTON_A, PadButton::South, false);
    EXPECT_EQ(shell.started.size(), 1);
    click(SDL_CONTROLLER_BUTTON_B, PadButton::East);
    EXPECT_TRUE(folderList()->isVisible());

    pad.unplug();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return files()->toolTip() == "Gamepad disconnected: Rombard Test Pad"; }));
}

}  // namespace
