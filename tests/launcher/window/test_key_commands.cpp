// The key rules where they are easy to get wrong: which modifiers a rule looks at, the
// order in which rules are tried, the folder list's conditions, and the file list's own
// key codes coming back as Qt's.

#include "filelist/VirtualKeys.h"
#include "launcher/window/KeyCommands.h"

#include <gtest/gtest.h>

namespace {

using enum KeyCommand;
constexpr auto None_ = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;
constexpr auto Keypad = Qt::KeypadModifier;

struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers held;
    KeyCommand expected;
};

void expectCommands(std::span<const KeyRule> rules, std::initializer_list<Case> cases,
                    const KeyContext& context = {}) {
    for (const Case& c : cases)
        EXPECT_EQ(commandFor(rules, QKeyCombination(c.held, c.key), context), c.expected)
            << "key " << std::hex << c.key << " modifiers " << c.held.toInt();
}

// Shift+Enter alone hands the file to the desktop; every other Enter, the number pad's
// among them, launches. F4 hides only without modifiers. Keys no rule names do nothing.
TEST(KeyCommands, FileListModifiers) {
    expectCommands(fileListKeys(), {
                                       {Qt::Key_Return, None_, Launch},
                                       {Qt::Key_Return, Shift, OpenWithDesktop},
                                       {Qt::Key_Enter, Shift | Keypad, OpenWithDesktop},
                                       {Qt::Key_Enter, Keypad, Launch},
                                       {Qt::Key_Return, Ctrl, Launch},
                                       {Qt::Key_Return, Shift | Ctrl, Launch},
                                       {Qt::Key_Return, Shift | Alt, Launch},
                                       {Qt::Key_F4, None_, HideFiles},
                                       {Qt::Key_F4, Shift, None},
                                       {Qt::Key_F4, Ctrl, None},
                                       {Qt::Key_F4, Alt, None},
                                       {Qt::Key_Right, Shift, FocusCommandLine},
                                       {Qt::Key_Backspace, Ctrl, FocusFoldersOrCommandLine},
                                       {Qt::Key_F9, Alt, ToggleDumpTag},
                                       {Qt::Key_F1, None_, None},
                                       {Qt::Key_F12, None_, None},
                                       {Qt::Key_A, None_, None},
                                       {Qt::Key_D, Ctrl, ToggleFavourite},
                                       {Qt::Key_D, None_, None},
                                       {Qt::Key_D, Ctrl | Shift, None},
                                       {Qt::Key_F, Ctrl, ToggleFavouritesOnly},
                                       {Qt::Key_F, Ctrl | Alt, None},
                                   });
}

// The closing step leaves the focus in the command line box for Shift alone, whatever
// other modifiers (the number pad's) come with it.
TEST(KeyCommands, ClosingStepStaysOnlyForShiftAlone) {
    const struct {
        Qt::KeyboardModifiers held;
        bool stays;
    } cases[] = {
        {None_, false},        {Shift, true},        {Shift | Keypad, true}, {Ctrl, false},
        {Shift | Ctrl, false}, {Shift | Alt, false}, {Ctrl | Alt, false},    {Keypad, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(staysInCommandLine(c.held), c.stays) << c.held.toInt();
}

// The command line box forwards every function key with its modifiers, Delete only with
// Ctrl alone, and clears itself on Backspace whenever Ctrl is among the modifiers.
TEST(KeyCommands, CommandLineLeavesTextKeysToTheBox) {
    expectCommands(commandLineKeys(), {
                                          {Qt::Key_F1, None_, ForwardToFileList},
                                          {Qt::Key_F12, Shift, ForwardToFileList},
                                          {Qt::Key_F13, None_, None},
                                          {Qt::Key_Delete, Ctrl, DeleteSelectedFile},
                                          {Qt::Key_Delete, None_, None},
                                          {Qt::Key_Delete, Ctrl | Shift, None},
                                          {Qt::Key_Backspace, None_, None},
                                          {Qt::Key_Backspace, Ctrl, ClearText},
                                          {Qt::Key_Backspace, Ctrl | Shift, ClearText},
                                          {Qt::Key_Space, None_, None},
                                          {Qt::Key_Enter, Keypad, Launch},
                                          {Qt::Key_PageDown, None_, FocusTargetList},
                                      });
}

// Right opens the highlighted folder when the file list is empty, else goes to it; Left
// climbs until the volume root, then goes to the drives.
TEST(KeyCommands, FolderListConditions) {
    expectCommands(folderListKeys(),
                   {{Qt::Key_Right, None_, FocusFiles}, {Qt::Key_Left, None_, UpOneLevel}},
                   {.filesListed = true, .atVolumeRoot = false});
    expectCommands(
        folderListKeys(),
        {{Qt::Key_Right, None_, OpenHighlightedFolder}, {Qt::Key_Left, None_, FocusDrives}},
        {.filesListed = false, .atVolumeRoot = true});
    expectCommands(folderListKeys(), {{Qt::Key_Escape, Shift, ToggleFolderLists},
                                      {Qt::Key_Backspace, None_, UpOneLevel},
                                      {Qt::Key_Down, None_, None}});
}

// The keyboard path between the navigation controls: drives -Right-> folders, drives
// -Left-> files, browse -Left/Backspace-> command line, browse -Right-> files.
TEST(KeyCommands, NavigationControlsLeadOn) {
    expectCommands(driveListKeys(), {{Qt::Key_Right, None_, FocusFolders},
                                     {Qt::Key_Left, None_, FocusFiles},
                                     {Qt::Key_Down, None_, None}});
    expectCommands(browseButtonKeys(), {{Qt::Key_Left, None_, FocusCommandLine},
                                        {Qt::Key_Backspace, None_, FocusCommandLine},
                                        {Qt::Key_Right, None_, FocusFiles},
                                        {Qt::Key_Space, None_, None}});
}

// What the file list reports comes back as the key and modifiers the rules name.
TEST(KeyCommands, ListCodesComeBackAsQtKeys) {
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers held;
    } cases[] = {
        {Qt::Key_Return, Shift}, {Qt::Key_F9, Ctrl},        {Qt::Key_Delete, None_},
        {Qt::Key_Right, Shift},  {Qt::Key_F4, Shift | Alt}, {Qt::Key_Backspace, Ctrl},
    };
    for (const auto& c : cases) {
        const QKeyCombination back =
            keyOfListCode(virtualKeyCode(c.key, c.held), shiftStateOf(c.held));
        EXPECT_EQ(back, QKeyCombination(c.held, c.key)) << c.key;
    }
    // A modifier alone comes back as itself, so the list can let it pass without the
    // closing step (which would move the focus before the chord's own key arrives).
    const QKeyCombination shiftAlone =
        keyOfListCode(virtualKeyCode(Qt::Key_Shift, Shift), shiftStateOf(Shift));
    EXPECT_EQ(shiftAlone, QKeyCombination(Shift, Qt::Key_Shift));
    EXPECT_EQ(commandFor(fileListKeys(), keyOfListCode(virtualKeyCode(Qt::Key_A, None_), 0)), None);
}

}  // namespace
