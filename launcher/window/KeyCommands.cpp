#include "launcher/window/KeyCommands.h"

#include "filelist/VirtualKeys.h"

#include <array>

namespace {

using enum KeyCommand;

constexpr Qt::KeyboardModifiers kWatched =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

// One row per key: the key, its command, its words in the key reference, and the
// modifiers it asks for.
constexpr KeyRule key(Qt::Key k, KeyCommand command, const char* what, Held held = Held::Any,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return {k, k, command, held, modifiers, When::Always, what};
}
constexpr KeyRule keyWhen(Qt::Key k, When when, KeyCommand command, const char* what) {
    return {k, k, command, Held::Any, Qt::NoModifier, when, what};
}
constexpr KeyRule keys(Qt::Key first, Qt::Key last, KeyCommand command, const char* what) {
    return {first, last, command, Held::Any, Qt::NoModifier, When::Always, what};
}

// The keys that only move the focus: the closing step brings it back to the list at once
// unless Shift alone is held, so on their own they do nothing one can see.
constexpr const char* kToCommandLine =
    "With Shift: to the command line box, to type there (alone: nothing; the list never "
    "scrolls sideways)";

// Every other key here has acted on the list already (it moved the selection, typed into
// the type-ahead): the command comes on top, and the closing step after it. The focus
// moves above never reach the list's own handling (fileListKeysKeptFromView).
constexpr KeyRule kFileList[] = {
    key(Qt::Key_Right, FocusCommandLine, kToCommandLine),
    key(Qt::Key_Left, FocusFoldersOrCommandLine, kToCommandLine),
    key(Qt::Key_Backspace, FocusFoldersOrCommandLine, kToCommandLine),
    key(Qt::Key_Escape, ToggleFolderLists, "Show or hide the drive and folder lists"),
    key(Qt::Key_Return, OpenWithDesktop, "Open the selected file with the desktop's program",
        Held::Exactly, Qt::ShiftModifier),
    key(Qt::Key_Return, Launch, "Start the selected game in the emulator"),
    key(Qt::Key_Delete, DeleteFile, "Move the selected file to the trash (asks first)"),
    key(Qt::Key_F2, RenameFile, "Rename the selected file; its screenshot follows"),
    key(Qt::Key_F3, SetFileMask, "Filter the list by a file mask (empty: the system's)"),
    key(Qt::Key_F6, RunKeyMacro,
        "Run the key macro; with Shift, Ctrl or Alt (or none stored) type it first"),
    // With modifiers F4 is kept free: nothing but the closing step.
    key(Qt::Key_F4, HideFiles, "Hide the files matching a pattern (empty: show all again)",
        Held::Exactly, Qt::NoModifier),
    key(Qt::Key_F5, RescanEmulators, "Look for the emulators in the emulator folder again"),
    key(Qt::Key_F7, RemoveDuplicates, "Remove the byte-equal copies of files in this folder"),
    key(Qt::Key_F8, StripText, "Remove a text from every file name"),
    key(Qt::Key_F9, ToggleDumpTag,
        "Tag the selected file [!] (Ctrl: [b1], Alt: [b2]), or remove the tag"),
    key(Qt::Key_D, ToggleFavourite, "Mark the selected game as a favourite, or unmark it",
        Held::Exactly, Qt::ControlModifier),
    key(Qt::Key_F, ToggleFavouritesOnly, "Show only the favourites, or all files again",
        Held::Exactly, Qt::ControlModifier),
    key(Qt::Key_I, IdentifyGames,
        "Identify the listed games by checksum again (changed software lists and DATs re-read)",
        Held::Exactly, Qt::ControlModifier),
    key(Qt::Key_N, RenameToCanonicalName,
        "Rename the verified game to its entry's ROM name (asks first); its screenshot follows",
        Held::Exactly, Qt::ControlModifier),
    key(Qt::Key_Space, FocusCommandLine, kToCommandLine),
};

// The box is where switches are typed, so only keys a text box has no use for (and Delete
// with Ctrl) act on the lists.
constexpr KeyRule kCommandLine[] = {
    key(Qt::Key_Return, Launch, "Start the selected game in the emulator"),
    key(Qt::Key_Up, SelectPrevious, "Select the previous game (folder, while the folders show)"),
    key(Qt::Key_Down, SelectNext, "Select the next game (folder, while the folders show)"),
    key(Qt::Key_Home, SelectFirst, "Select the first game (or folder)"),
    key(Qt::Key_End, SelectLast, "Select the last game (or folder)"),
    key(Qt::Key_Escape, ClearOrFocusTargetList, "Empty the box; an empty box: to the list"),
    key(Qt::Key_PageDown, FocusTargetList, "To the list: the folder list while it shows"),
    key(Qt::Key_PageUp, FocusTargetList, "To the list: the folder list while it shows"),
    keys(Qt::Key_F1, Qt::Key_F12, ForwardToFileList, "The file list's command of the same key"),
    key(Qt::Key_Delete, DeleteSelectedFile, "Move the selected file to the trash (asks first)",
        Held::Exactly, Qt::ControlModifier),
    key(Qt::Key_Left, FocusFilesAtStart, "At the start of the text: to the file list"),
    key(Qt::Key_Right, FocusFilesAtEnd, "At the end of the text: to the file list"),
    key(Qt::Key_Backspace, ClearText, "Empty the box", Held::Including, Qt::ControlModifier),
};

// Right into an empty file list would leave the user nowhere: it opens the highlighted
// folder instead. Left climbs the tree until the volume's root, then goes to the drives.
constexpr KeyRule kFolderList[] = {
    keyWhen(Qt::Key_Right, When::FilesListed, FocusFiles, "To the file list, when it lists files"),
    keyWhen(Qt::Key_Right, When::FilesEmpty, OpenHighlightedFolder,
            "Open the highlighted folder, when no file is listed"),
    keyWhen(Qt::Key_Left, When::AtVolumeRoot, FocusDrives, "At a drive's top: to the drive list"),
    keyWhen(Qt::Key_Left, When::BelowVolumeRoot, UpOneLevel, "Up one folder"),
    key(Qt::Key_Return, OpenHighlightedFolder, "Open the highlighted folder"),
    key(Qt::Key_Backspace, UpOneLevel, "Up one folder"),
    key(Qt::Key_Escape, ToggleFolderLists, "Hide the drive and folder lists"),
};

constexpr KeyRule kDriveList[] = {
    key(Qt::Key_Left, FocusFiles, "To the file list"),
    key(Qt::Key_Right, FocusFolders, "To the folder list"),
};

constexpr KeyRule kBrowseButton[] = {
    key(Qt::Key_Left, FocusCommandLine, "To the command line box"),
    key(Qt::Key_Backspace, FocusCommandLine, "To the command line box"),
    key(Qt::Key_Right, FocusFiles, "To the file list"),
};

constexpr KeyRule kEmulatorBox[] = {
    key(Qt::Key_Return, Launch, "Start the selected game in the emulator"),
    key(Qt::Key_Right, FocusCommandLine, "To the command line box"),
    key(Qt::Key_Left, FocusFiles, "To the file list"),
};

constexpr KeyRule kWindow[] = {
    key(Qt::Key_F1, ShowKeyReference, "Show this key reference; F1 or Escape closes it"),
    key(Qt::Key_F12, TogglePreviewPanel, "Hide the picture panel, or show it again"),
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
std::span<const KeyRule> windowKeys() {
    return kWindow;
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

QList<Qt::Key> fileListKeysKeptFromView() {
    QList<Qt::Key> keys;
    for (const KeyRule& rule : kFileList)
        if (rule.command == FocusCommandLine || rule.command == FocusFoldersOrCommandLine)
            for (int k = rule.first; k <= rule.last; ++k)
                keys.append(Qt::Key(k));
    return keys;
}

bool staysInCommandLine(Qt::KeyboardModifiers modifiers) {
    return (modifiers & kWatched) == Qt::ShiftModifier;
}

QKeyCombination keyOfListCode(int keyCode, int shiftState) {
    Qt::KeyboardModifiers modifiers;
    for (const Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier})
        if (shiftState & shiftStateOf(m)) modifiers |= m;
    // A modifier pressed on its own reaches the list as a key of its own; it names no
    // command but must still be told apart from an unknown key.
    for (const Qt::Key k : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt})
        if (keyCode != 0 && virtualKeyCode(k, Qt::NoModifier) == keyCode)
            return QKeyCombination(modifiers, k);
    const std::array<std::span<const KeyRule>, 7> tables = {
        fileListKeys(),     commandLineKeys(), folderListKeys(), driveListKeys(),
        browseButtonKeys(), emulatorBoxKeys(), windowKeys()};
    for (const auto& rules : tables)
        for (const KeyRule& rule : rules)
            for (int k = rule.first; k <= int(rule.last); ++k)
                if (keyCode != 0 && virtualKeyCode(k, Qt::NoModifier) == keyCode)
                    return QKeyCombination(modifiers, Qt::Key(k));
    return QKeyCombination(modifiers, Qt::Key_unknown);
}
