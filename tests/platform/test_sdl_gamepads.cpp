// The SDL pad service against SDL's own virtual game controllers: plugging in and out,
// buttons and axes as the launcher names them, and whose mappings win.

#include "platform/SdlGamepads.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"
#include "support/VirtualPad.h"

#include <QTest>

#include <algorithm>
#include <optional>

#include <gtest/gtest.h>

namespace {

using platform::PadAxis;
using platform::PadButton;
using platform::PadEvent;

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

    // Each change is waited for before the next: SDL reads a pad's state, not its history.
    // A row presses or lets go of a button (no axis), or moves an axis to `value`.
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

// The user's file wins over SDL's own mapping of a pad, and SDL_GAMECONTROLLERCONFIG over
// the file. The file's mapping swaps the bottom and right buttons.
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
