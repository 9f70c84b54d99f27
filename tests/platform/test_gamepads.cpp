// What the pad types, on a fake clock; the SDL pad service against SDL's virtual pads.

#include "platform/GamepadKeys.h"
#include "platform/KeystrokeParser.h"
#include "platform/SdlGamepads.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"
#include "support/VirtualPad.h"

#include <QTest>

#include <algorithm>
#include <optional>

#include <gtest/gtest.h>

namespace {

using platform::GamepadKeys;
using platform::PadAxis;
using platform::PadButton;
using platform::PadEvent;

PadEvent button(PadButton b, bool pressed, int pad = 1) {
    return {
        .kind = PadEvent::Kind::Button, .pad = pad, .name = {}, .button = b, .pressed = pressed};
}
PadEvent axis(PadAxis a, double value) {
    return {.kind = PadEvent::Kind::Axis, .pad = 1, .name = {}, .axis = a, .value = value};
}

// Each button's macro must parse to its key, or the press would silently do nothing.
TEST(GamepadKeys, EachButtonTypesItsKeyOnPressAndNothingOnRelease) {
    struct Case {
        PadButton button;
        Qt::Key key;  // Key_unknown: types nothing, as the folder picker (Start) is a dialog
        Qt::KeyboardModifiers modifiers;
    };
    using B = PadButton;
    const auto none = Qt::NoModifier;
    // clang-format off
    const Case cases[] = {
        {B::South, Qt::Key_Return, none}, {B::East, Qt::Key_Escape, none},
        {B::West, Qt::Key_D, Qt::ControlModifier}, {B::North, Qt::Key_F1, none},
        {B::LeftShoulder, Qt::Key_PageUp, none}, {B::RightShoulder, Qt::Key_PageDown, none},
        {B::Back, Qt::Key_Right, Qt::ShiftModifier}, {B::DpadUp, Qt::Key_Up, none},
        {B::DpadDown, Qt::Key_Down, none}, {B::DpadLeft, Qt::Key_Left, none},
        {B::DpadRight, Qt::Key_Right, none}, {B::Start, Qt::Key_unknown, none},
        {B::Guide, Qt::Key_unknown, none}, {B::LeftStick, Qt::Key_unknown, none},
        {B::Other, Qt::Key_unknown, none},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.button));
        GamepadKeys keys;
        const QStringList typed = keys.handle(button(c.button, true), 0, true);
        ASSERT_EQ(typed.size(), c.key == Qt::Key_unknown ? 0 : 1) << typed.join(' ').toStdString();
        const auto strokes = platform::parseKeystrokes(typed.join(QString()));
        ASSERT_TRUE(strokes.has_value());
        ASSERT_EQ(strokes->size(), typed.size());
        if (!typed.isEmpty()) {
            EXPECT_EQ(strokes->first().key, c.key);
            EXPECT_EQ(strokes->first().modifiers, c.modifiers);
        }
        EXPECT_TRUE(keys.handle(button(c.button, false), 10, true).isEmpty());
        EXPECT_EQ(keys.handle(button(c.button, true), 20, true), typed);
    }
}

// Sticks and triggers press beyond half their travel; each row moves on from the last.
TEST(GamepadKeys, SticksAndTriggersPressBeyondTheDeadZone) {
    struct Step {
        PadAxis axis;
        double value;
        QStringList typed;
    };
    const Step steps[] = {
        {PadAxis::LeftX, 0.5, {}},          {PadAxis::LeftX, 0.51, {"{RIGHT}"}},
        {PadAxis::LeftX, 0.9, {}},  // still held: no second key
        {PadAxis::LeftX, 0.2, {}},          {PadAxis::LeftX, 0.6, {"{RIGHT}"}},
        {PadAxis::LeftX, -1.0, {"{LEFT}"}},  // flicked across: lets go of right first
        {PadAxis::LeftX, -0.5, {}},         {PadAxis::LeftX, -0.51, {"{LEFT}"}},
        {PadAxis::LeftY, -0.7, {"{UP}"}},  // SDL's up is negative
        {PadAxis::LeftY, 0.7, {"{DOWN}"}},  {PadAxis::LeftY, 0.0, {}},
        {PadAxis::RightX, 1.0, {}},         {PadAxis::RightY, -1.0, {}},
        {PadAxis::LeftTrigger, 0.5, {}},    {PadAxis::LeftTrigger, 0.8, {"{HOME}"}},
        {PadAxis::LeftTrigger, 1.0, {}},    {PadAxis::RightTrigger, 1.0, {"{END}"}},
        {PadAxis::LeftTrigger, 0.1, {}},    {PadAxis::LeftTrigger, 0.9, {"{HOME}"}},
    };
    GamepadKeys keys;
    qint64 now = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.value);
        EXPECT_EQ(keys.handle(axis(s.axis, s.value), now++, true), s.typed);
    }
}

// Directions repeat 500 ms after the press, then every 50 ms, until released.
TEST(GamepadKeys, DirectionsRepeatOnTheKeyboardsTimetable) {
    GamepadKeys keys;
    EXPECT_EQ(keys.handle(button(PadButton::South, true), 0, true), QStringList{"{ENTER}"});
    EXPECT_FALSE(keys.nextRepeatAt().has_value());
    EXPECT_EQ(keys.handle(button(PadButton::DpadDown, true), 1000, true), QStringList{"{DOWN}"});
    EXPECT_EQ(keys.nextRepeatAt(), 1500);
    struct Tick {
        qint64 at;
        int downs;
        std::optional<qint64> next;
    };
    const Tick ticks[] = {
        {1499, 0, 1500}, {1500, 1, 1550}, {1549, 0, 1550},
        {1550, 1, 1600}, {1600, 1, 1650}, {1700, 1, 1750},  // late: one key, and the next 50 ms on
    };
    for (const Tick& t : ticks) {
        SCOPED_TRACE(t.at);
        const QStringList typed = keys.repeat(t.at, true);
        EXPECT_EQ(typed.size(), t.downs);
        EXPECT_EQ(typed.count("{DOWN}"), t.downs);
        EXPECT_EQ(keys.nextRepeatAt(), t.next);
    }
    // The stick held too repeats on its own timetable.
    EXPECT_EQ(keys.handle(axis(PadAxis::LeftX, -1), 1710, true), QStringList{"{LEFT}"});
    EXPECT_EQ(keys.nextRepeatAt(), 1750);
    EXPECT_EQ(keys.repeat(2210, true), (QStringList{"{DOWN}", "{LEFT}"}));
    keys.handle(button(PadButton::DpadDown, false), 2220, true);
    keys.handle(axis(PadAxis::LeftX, 0), 2220, true);
    EXPECT_FALSE(keys.nextRepeatAt().has_value());
    EXPECT_TRUE(keys.repeat(5000, true).isEmpty());
}

// What is pressed while input is not taken (a game runs) stays silent until it is let go.
TEST(GamepadKeys, PressesMadeOrHeldWhileIgnoredStaySilentUntilReleased) {
    GamepadKeys keys;
    EXPECT_EQ(keys.handle(button(PadButton::DpadDown, true), 0, true), QStringList{"{DOWN}"});
    // The window goes away with Down held: no more repeats.
    EXPECT_TRUE(keys.repeat(500, false).isEmpty());
    EXPECT_FALSE(keys.nextRepeatAt().has_value());
    EXPECT_TRUE(keys.repeat(1000, true).isEmpty());

    EXPECT_TRUE(keys.handle(button(PadButton::South, true), 1000, false).isEmpty());
    EXPECT_TRUE(keys.handle(axis(PadAxis::LeftY, -1), 1000, false).isEmpty());
    // Input counts again; everything is still held.
    EXPECT_TRUE(keys.handle(button(PadButton::South, true), 2000, true).isEmpty());
    EXPECT_TRUE(keys.handle(axis(PadAxis::LeftY, -0.9), 2000, true).isEmpty());
    EXPECT_TRUE(keys.repeat(5000, true).isEmpty());
    EXPECT_FALSE(keys.nextRepeatAt().has_value());
    // Another button pressed now types.
    EXPECT_EQ(keys.handle(button(PadButton::East, true), 2000, true), QStringList{"{ESC}"});
    // Let go and pressed again, the held ones type too.
    for (const PadEvent& e : {button(PadButton::South, false), button(PadButton::DpadDown, false),
                              axis(PadAxis::LeftY, 0)})
        EXPECT_TRUE(keys.handle(e, 3000, true).isEmpty());
    EXPECT_EQ(keys.handle(button(PadButton::South, true), 3000, true), QStringList{"{ENTER}"});
    EXPECT_EQ(keys.handle(axis(PadAxis::LeftY, -1), 3000, true), QStringList{"{UP}"});
    EXPECT_EQ(keys.handle(button(PadButton::DpadDown, true), 3000, true), QStringList{"{DOWN}"});
}

// Two pads are two keyboards; a pad pulled out lets go of everything it held.
TEST(GamepadKeys, PadsAreApartAndARemovedPadLetsGo) {
    GamepadKeys keys;
    EXPECT_EQ(keys.handle(button(PadButton::DpadUp, true, 1), 0, true), QStringList{"{UP}"});
    EXPECT_EQ(keys.handle(button(PadButton::DpadUp, true, 2), 100, true), QStringList{"{UP}"});
    EXPECT_EQ(keys.handle({.kind = PadEvent::Kind::Removed, .pad = 1, .name = {}}, 200, true),
              QStringList{});
    EXPECT_EQ(keys.nextRepeatAt(), 600);  // pad 2's
    EXPECT_EQ(keys.repeat(600, true), QStringList{"{UP}"});
    // Plugged in again under the same id, its Up starts afresh.
    EXPECT_EQ(keys.handle(button(PadButton::DpadUp, true, 1), 700, true), QStringList{"{UP}"});
    EXPECT_TRUE(keys.handle(button(PadButton::DpadUp, false, 2), 700, true).isEmpty());
    EXPECT_EQ(keys.nextRepeatAt(), 1200);
}

struct Received : QObject {
    QList<PadEvent> events;
    // Waits for an event that `match` accepts, delivered after the first `from` events.
    std::optional<PadEvent> waitFor(const std::function<bool(const PadEvent&)>& match,
                                    qsizetype from = 0) {
        std::optional<PadEvent> found;
        (void)QTest::qWaitFor([&] {
            for (qsizetype i = from; i < events.size() && !found; ++i)
                if (match(events[i])) found = events[i];
            return found.has_value();
        });
        return found;
    }
    void listen(platform::Gamepads& pads) {
        pads.setReceiver(this, [this](const PadEvent& e) { events.append(e); });
    }
};

const auto isAdded = [](const PadEvent& e) { return e.kind == PadEvent::Kind::Added; };
const auto isRemoved = [](const PadEvent& e) { return e.kind == PadEvent::Kind::Removed; };

TEST(SdlGamepads, ReportsPadsPluggedInAndOutWithTheirButtonsAndAxes) {
    TempFolder config;
    platform::SdlGamepads pads(config.file("none.txt"), [] { return qint64(7); });
    ASSERT_TRUE(pads.waitUntilStarted());
    EXPECT_EQ(pads.nowMs(), 7);
    Received got;
    got.listen(pads);
    VirtualPad pad("Rombard Test Pad");
    ASSERT_TRUE(pad.plugged());
    const std::optional<PadEvent> added = got.waitFor(isAdded);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->name, "Rombard Test Pad");
    EXPECT_EQ(added->pad, pad.id());

    // A button pressed or let go, or an axis moved, each awaited: SDL reads state, not history.
    using B = PadButton;
    using A = PadAxis;
    struct Change {
        int sdlButton, sdlAxis, value;
        PadButton button;
        PadAxis axis;
        double seen;
    };
    const Change changes[] = {
        {SDL_CONTROLLER_BUTTON_A, -1, 1, B::South, A::Other, 0},
        {SDL_CONTROLLER_BUTTON_A, -1, 0, B::South, A::Other, 0},
        {SDL_CONTROLLER_BUTTON_Y, -1, 1, B::North, A::Other, 0},
        {SDL_CONTROLLER_BUTTON_DPAD_DOWN, -1, 1, B::DpadDown, A::Other, 0},
        {SDL_CONTROLLER_BUTTON_BACK, -1, 1, B::Back, A::Other, 0},
        {-1, SDL_CONTROLLER_AXIS_LEFTY, SDL_JOYSTICK_AXIS_MAX, B::Other, A::LeftY, 1.0},
        // The bottom of the range is one step further than the top.
        {-1, SDL_CONTROLLER_AXIS_LEFTX, SDL_JOYSTICK_AXIS_MIN, B::Other, A::LeftX, -1.0},
        {-1, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MAX, B::Other, A::RightTrigger, 1},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(int(c.button) * 100 + int(c.axis));
        const qsizetype before = got.events.size();
        const bool isButton = c.sdlAxis < 0;
        if (isButton)
            pad.setButton(SDL_GameControllerButton(c.sdlButton), c.value != 0);
        else
            pad.setAxis(SDL_GameControllerAxis(c.sdlAxis), Sint16(c.value));
        const std::optional<PadEvent> e = got.waitFor(
            [&](const PadEvent& x) {
                return x.button == c.button && x.axis == c.axis &&
                       (isButton ? x.kind == PadEvent::Kind::Button && x.pressed == (c.value != 0)
                                 : x.kind == PadEvent::Kind::Axis);
            },
            before);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->pad, pad.id());
        if (!isButton) {
            EXPECT_DOUBLE_EQ(e->value, c.seen);
        }
    }

    // A receiver that comes later hears of the pads already plugged in.
    Received late;
    late.listen(pads);
    ASSERT_EQ(late.events.size(), 1);
    EXPECT_TRUE(isAdded(late.events.first()));
    EXPECT_EQ(late.events.first().name, "Rombard Test Pad");

    pad.unplug();
    const std::optional<PadEvent> gone = late.waitFor(isRemoved);
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->pad, added->pad);
    EXPECT_EQ(gone->name, "Rombard Test Pad");
    // Only the receiver set last hears.
    EXPECT_EQ(std::count_if(got.events.begin(), got.events.end(), isRemoved), 0);
}

// The user's file (it swaps A and B) wins over SDL's mapping, SDL_GAMECONTROLLERCONFIG over it.
TEST(SdlGamepads, UserMappingsWinOverSdlsAndTheEnvironmentOverThem) {
    TempFolder config;
    const QString file = config.file("Rombard/gamecontrollerdb.txt");
    QString guid;
    {
        platform::SdlGamepads pads(file);
        ASSERT_TRUE(pads.waitUntilStarted());
        VirtualPad pad("Rombard Test Pad");
        ASSERT_TRUE(pad.plugged());
        guid = pad.guid();
    }
    struct Case {
        bool inFile, inEnvironment;
        QString name;
        PadButton firstButton;
    };
    const Case cases[] = {
        {false, false, "Rombard Test Pad", PadButton::South},
        {true, false, "Mapped By File", PadButton::East},
        {true, true, "Mapped By Environment", PadButton::South},
        {false, true, "Mapped By Environment", PadButton::South},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QFile::remove(file);
        if (c.inFile)
            config.write("Rombard/gamecontrollerdb.txt",
                         "# the user's own\n" + guid.toUtf8() +
                             ",Mapped By File,a:b1,b:b0,dpdown:b12,platform:Linux,\n");
        if (c.inEnvironment)
            qputenv("SDL_GAMECONTROLLERCONFIG",
                    guid.toUtf8() + ",Mapped By Environment,a:b0,b:b1,platform:Linux,");
        platform::SdlGamepads pads(file);
        ASSERT_TRUE(pads.waitUntilStarted());
        qunsetenv("SDL_GAMECONTROLLERCONFIG");
        Received got;
        got.listen(pads);
        VirtualPad pad("Rombard Test Pad");
        const std::optional<PadEvent> added = got.waitFor(isAdded);
        ASSERT_TRUE(added);
        EXPECT_EQ(added->name, c.name);
        const qsizetype before = got.events.size();
        pad.setButton(SDL_CONTROLLER_BUTTON_A, true);  // the pad's first button
        const std::optional<PadEvent> pressed =
            got.waitFor([](const PadEvent& e) { return e.kind == PadEvent::Kind::Button; }, before);
        ASSERT_TRUE(pressed);
        EXPECT_EQ(pressed->button, c.firstButton);
    }
}

}  // namespace
