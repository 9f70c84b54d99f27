// What the pad types: the button map, the dead zone, auto-repeat on a fake clock and the
// silence of presses the launcher must not take.

#include "platform/GamepadKeys.h"
#include "platform/KeystrokeParser.h"
#include "support/QtPrinters.h"

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

// Each button types the key it stands for, as the window's key routes understand it; the
// macro must parse to that very key, or the press would silently do nothing.
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
        if (c.key == Qt::Key_unknown) {
            EXPECT_TRUE(typed.isEmpty()) << typed.join(' ').toStdString();
        } else {
            ASSERT_EQ(typed.size(), 1);
            const auto strokes = platform::parseKeystrokes(typed.first());
            ASSERT_TRUE(strokes.has_value());
            ASSERT_EQ(strokes->size(), 1);
            EXPECT_EQ(strokes->first().key, c.key);
            EXPECT_EQ(strokes->first().modifiers, c.modifiers);
        }
        EXPECT_TRUE(keys.handle(button(c.button, false), 10, true).isEmpty());
        EXPECT_EQ(keys.handle(button(c.button, true), 20, true), typed);
    }
}

// The left stick and the triggers press only beyond half their travel; the right stick
// types nothing. Each row moves the axis on from the row before.
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

// The first repeat comes 500 ms after the press, then one every 50 ms, for the directions
// only; a release ends them.
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

// While the launcher takes no pad input (a game runs, another window has the focus), presses
// type nothing, and whatever is held then stays silent until it is let go, also once input
// counts again: the button a game ends with never launches a second one.
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

// Two pads are two keyboards: one's press is not the other's, and a pad pulled out lets go
// of everything it held.
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

}  // namespace
