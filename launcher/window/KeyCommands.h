#pragma once

// What each key does on the window's controls, as tables of key + modifiers -> command.
// The window looks a key up and carries the command out; what F7 means on the file list,
// or where Right leads from the folder list, is read here and nowhere else.

#include <QKeyCombination>
#include <QList>

#include <span>

enum class KeyCommand {
    None,  // the control keeps the key's normal meaning
    // Focus moves.
    FocusFiles,
    FocusCommandLine,
    FocusFolders,
    FocusDrives,
    FocusFoldersOrCommandLine,  // the folder list while it is shown, else the command line box
    FocusTargetList,            // the folder list while it is shown, else the file list
    FocusFilesAtStart,          // only with the command line box's caret at its start
    FocusFilesAtEnd,            // only with the caret at its end
    // The selected game and the listed folder.
    Launch,
    OpenWithDesktop,
    DeleteFile,
    RenameFile,
    SetFileMask,
    RunKeyMacro,
    HideFiles,
    RescanEmulators,
    RemoveDuplicates,
    StripText,
    ToggleDumpTag,
    ToggleFolderLists,
    ToggleFavourite,
    ToggleFavouritesOnly,
    IdentifyGames,
    RenameToCanonicalName,
    WritePlaylist,
    // The command line box steps through the target list (see FocusTargetList) for the user.
    SelectPrevious,
    SelectNext,
    SelectFirst,
    SelectLast,
    ClearOrFocusTargetList,  // empties the box; an empty box hands the focus to the list
    ClearText,
    ForwardToFileList,   // the file list's command for the same key and modifiers
    DeleteSelectedFile,  // the file list's Delete, as if pressed without modifiers
    // The folder list.
    OpenHighlightedFolder,
    UpOneLevel,
    // Anywhere in the window.
    ShowKeyReference,
    TogglePreviewPanel,
};

// Whether the command changes the listed folder's files (or reads them all): one of these
// is refused while a long one (F7, F8) runs, since both would act on the same files.
bool changesFiles(KeyCommand command);

// How a rule looks at Shift, Ctrl and Alt (other modifiers, the keypad's among them, are
// never looked at).
enum class Held {
    Any,
    Exactly,      // these and no others
    AnythingBut,  // any combination but exactly these
    Including,    // at least these
};

// What the folder list's rules look at besides the key.
enum class When { Always, FilesListed, FilesEmpty, AtVolumeRoot, BelowVolumeRoot };
struct KeyContext {
    bool filesListed = false;
    bool atVolumeRoot = false;
};

struct KeyRule {
    Qt::Key first;
    Qt::Key last;  // the same as first for a single key
    KeyCommand command;
    Held held = Held::Any;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    When when = When::Always;
    // What the key does, in a few words for the key reference (F1, README, the manual page).
    const char* what = "";
};

// Each control's rules, in the order they are tried; the first that matches acts.
std::span<const KeyRule> fileListKeys();
std::span<const KeyRule> commandLineKeys();
std::span<const KeyRule> folderListKeys();
std::span<const KeyRule> driveListKeys();
std::span<const KeyRule> browseButtonKeys();
std::span<const KeyRule> emulatorBoxKeys();
// Keys that act wherever the focus is in the window.
std::span<const KeyRule> windowKeys();

// The first rule's command for the key, or None. The number pad's Enter is Return.
KeyCommand commandFor(std::span<const KeyRule> rules, QKeyCombination key,
                      const KeyContext& context = {});

// The file list's keys that its view must never act on itself: a list wider than its view
// would scroll sideways on Right and Left, and Backspace and Space would feed its
// type-ahead, before the window saw them.
QList<Qt::Key> fileListKeysKeptFromView();

// After every file list command the focus passes through the command line box; it stays
// there only when Shift alone is held, ready for a switch to be typed.
bool staysInCommandLine(Qt::KeyboardModifiers modifiers);

// The file list reports keys in its own codes (filelist/VirtualKeys.h); this gives such a
// key back as Qt's. Keys no rule names come back as Qt::Key_unknown with their modifiers.
QKeyCombination keyOfListCode(int keyCode, int shiftState);
