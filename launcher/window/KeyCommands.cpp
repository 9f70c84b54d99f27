#include "launcher/window/KeyCommands.h"

#include "filelist/VirtualKeys.h"

#include <array>

namespace {

using enum KeyCommand;

constexpr Qt::KeyboardModifiers kWatched =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

constexpr KeyRule key(Qt::Key k, KeyCommand command, Held held = Held::Any,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return {k, k, command, held, modifiers, When::Always};
}
constexpr KeyRule keyWhen(Qt::Key k, When when, KeyCommand command) {
    return {k, k, command, Held::Any, Qt::NoModifier, when};
}

// Every key here has acted on the list already (it moved the selection, typed into the
// type-ahead): the command comes on top, and the closing step after it.
constexpr KeyRule kFileList[] = {
    key(Qt::Key_Right, FocusCommandLine),
    key(Qt::Key_Left, FocusFoldersOrCommandLine),
    key(Qt::Key_Backspace, FocusFoldersOrCommandLine),
    key(Qt::Key_Escape, ToggleFolderLists),
    key(Qt::Key_Return, OpenWithDesktop, Held::Exactly, Qt::ShiftModifier),
    key(Qt::Key_Return, Launch),
    key(Qt::Key_Delete, DeleteFile),
    key(Qt::Key_F2, RenameFile),
    key(Qt::Key_F3, SetFileMask),
    key(Qt::Key_F6, RunKeyMacro),
    // With modifiers F4 is kept free: nothing but the closing step.
    key(Qt::Key_F4, HideFiles, Held::Exactly, Qt::NoModifier),
    key(Qt::Key_F5, RescanEmulators),
    key(Qt::Key_F7, RemoveDuplicates),
    key(Qt::Key_F8, StripText),
    key(Qt::Key_F9, ToggleDumpTag),
    key(Qt::Key_D, ToggleFavourite, Held::Exactly,
        Qt::ControlModifier),  // mark or unmark a favourite
    key(Qt::Key_F, ToggleFavouritesOnly, Held::Exactly,
        Qt::ControlModifier),  // favourites only, or all
    key(Qt::Key_Space, FocusCommandLine),
};

// The box is where switches are typed, so only keys a text box has no use for (and Delete
// with Ctrl) act on the lists.
constexpr KeyRule kCommandLine[] = {
    key(Qt::Key_Return, Launch),
    key(Qt::Key_Up, SelectPrevious),
    key(Qt::Key_Down, SelectNext),
    key(Qt::Key_Home, SelectFirst),
    key(Qt::Key_End, SelectLast),
    key(Qt::Key_Escape, ClearOrFocusTargetList),
    key(Qt::Key_PageDown, FocusTargetList),
    key(Qt::Key_PageUp, FocusTargetList),
    {Qt::Key_F1, Qt::Key_F12, ForwardToFileList},
    key(Qt::Key_Delete, DeleteSelectedFile, Held::Exactly, Qt::ControlModifier),
    key(Qt::Key_Left, FocusFilesAtStart),
    key(Qt::Key_Right, FocusFilesAtEnd),
    key(Qt::Key_Backspace, ClearText, Held::Including, Qt::ControlModifier),
};

// Right into an empty file list would leave the user nowhere: it opens the highlighted
// folder instead. Left climbs the tree until the volume's root, then goes to the drives.
constexpr KeyRule kFolderList[] = {
    keyWhen(Qt::Key_Right, When::FilesListed, FocusFiles),
    keyWhen(Qt::Key_Right, When::FilesEmpty, OpenHighlightedFolder),
    keyWhen(Qt::Key_Left, When::AtVolumeRoot, FocusDrives),
    keyWhen(Qt::Key_Left, When::BelowVolumeRoot, UpOneLevel),
    key(Qt::Key_Return, OpenHighlightedFolder),
    key(Qt::Key_Backspace, UpOneLevel),
    key(Qt::Key_Escape, ToggleFolderLists),
};

constexpr KeyRule kDriveList[] = {
    key(Qt::Key_Left, FocusFiles),
    key(Qt::Key_Right, FocusFolders),
};

constexpr KeyRule kBrowseButton[] = {
    key(Qt::Key_Left, FocusCommandLine),
    key(Qt::Key_Backspace, FocusCommandLine),
    key(Qt::Key_Right, FocusFiles),
};

constexpr KeyRule kEmulatorBox[] = {
    key(Qt::Key_Return, Launch),
    key(Qt::Key_Right, FocusCommandLine),
    key(Qt::Key_Left, FocusFiles),
};

bool modifiersMatch(const KeyRule& rule, Qt::KeyboardModifiers held) {
    switch (rule.held) {
        case Held::Any:
            return true;
        case Held::Exactly:
            return held == rule.modifiers;
        case Held::AnythingBut:
            return held != rule.modifiers;
        case Held::Including:
            return (held & rule.modifiers) == rule.modifiers;
    }
    return false;
}

bool contextMatches(When when, const KeyContext& context) {
    switch (when) {
        case When::Always:
            return true;
        case When::FilesListed:
            return context.filesListed;
        case When::FilesEmpty:
            return !context.filesListed;
        case When::AtVolumeRoot:
            return context.atVolumeRoot;
        case When::BelowVolumeRoot:
            return !context.atVolumeRoot;
    }
    return false;
}

}  // namespace

std::span<const KeyRule> fileListKeys() {
    return kFileList;
}
std::span<const KeyRule> commandLineKeys() {
    return kCommandLine;
}
std::span<const KeyRule> folderListKeys() {
    return kFolderList;
}
std::span<const KeyRule> driveListKeys() {
    return kDriveList;
}
std::span<const KeyRule> browseButtonKeys() {
    return kBrowseButton;
}
std::span<const KeyRule> emulatorBoxKeys() {
    return kEmulatorBox;
}

KeyCommand commandFor(std::span<const KeyRule> rules, QKeyCombination key,
                      const KeyContext& context) {
    const int pressed = key.key() == Qt::Key_Enter ? int(Qt::Key_Return) : int(key.key());
    const Qt::KeyboardModifiers held = key.keyboardModifiers() & kWatched;
    for (const KeyRule& rule : rules) {
        if (pressed < int(rule.first) || pressed > int(rule.last)) continue;
        if (modifiersMatch(rule, held) && contextMatches(rule.when, context)) return rule.command;
    }
    return None;
}

bool staysInCommandLine(Qt::KeyboardModifiers modifiers) {
    return (modifiers & kWatched) == Qt::ShiftModifier;
}

QKeyCombination keyOfListCode(int keyCode, int shiftState) {
    Qt::KeyboardModifiers modifiers;
    for (const Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier})
        if (shiftState & ShiftState(m)) modifiers |= m;
    // A modifier pressed on its own reaches the list as a key of its own; it names no
    // command but must still be told apart from an unknown key.
    for (const Qt::Key k : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt})
        if (keyCode != 0 && VirtualKeyCode(k, Qt::NoModifier) == keyCode)
            return QKeyCombination(modifiers, k);
    const std::array<std::span<const KeyRule>, 6> tables = {fileListKeys(),     commandLineKeys(),
                                                            folderListKeys(),   driveListKeys(),
                                                            browseButtonKeys(), emulatorBoxKeys()};
    for (const auto& rules : tables)
        for (const KeyRule& rule : rules)
            for (int k = rule.first; k <= int(rule.last); ++k)
                if (keyCode != 0 && VirtualKeyCode(k, Qt::NoModifier) == keyCode)
                    return QKeyCombination(modifiers, Qt::Key(k));
    return QKeyCombination(modifiers, Qt::Key_unknown);
}
