#pragma once

// The window's state, grouped by what it serves, so that the window reads as controls,
// state and the collaborators it wires (FileCommands, EmulatorSession, PadInput,
// IdentificationView).

#include "launcher/emulators/InstalledEmulators.h"
#include "launcher/window/FolderNavigation.h"
#include "launcher/window/WindowLayout.h"

#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
class FileListView;
class GifView;
class PictureBox;
class PictureLoader;
class ScreenshotSearch;

// Controls, owned by the window; their object names are those of the design.
struct WindowControls {
    QComboBox* emulatorBox = nullptr;     // "cmbEmu"
    QLineEdit* commandLine = nullptr;     // "txtCommandLine"
    QPushButton* browseButton = nullptr;  // "btnBrowse"
    QLabel* credits = nullptr;            // "lblCredits"
    QComboBox* driveList = nullptr;       // "driveList"
    QListWidget* folderList = nullptr;    // "dirList"
    FileListView* fileList = nullptr;     // "Files"
    QFrame* previewFrame = nullptr;       // "frmShot"
    PictureBox* picture = nullptr;        // "imgShot"
    QLabel* titleShadow = nullptr;        // "lblShadow"
    QLabel* title = nullptr;  // "lblTitle"; its "Tag" property holds the arcade game number
    PictureBox* defaultPicture = nullptr;  // "imgDefault"
    GifView* animation = nullptr;          // "AniGIF", over picture's rectangle
    QLabel* noEmulatorHint = nullptr;      // "lblNoEmulator", made when first needed
    QLabel* filtersLine = nullptr;         // "lblFilters", made when first needed
};

// The emulator folder and the emulator chosen in it.
struct EmulatorState {
    QList<InstalledEmulator> installed;
    QString folder;   // always ends in "/"
    QString current;  // catalogue spelling; also the settings section
    QString systemName;
    QString fileMask;
    // The emulator folder when it holds no emulator of its own: a folder of games, always
    // the one listed (holdsEmulators).
    QString gamesFolder;
};

// The folder lists and which games folder the file list shows.
struct FolderState {
    QString listPath;                  // the folder list's folder
    QString entered;                   // the last folder the lists found enterable
    FolderRows enteredRows;            // and its rows then
    QStringList romChoices;            // the games folders still to try, in order
    bool romPending = false;           // the folder tried is being read
    int wantedIndex = -1;              // the stored game, chosen once its folder is read
    QString selectWhenListed;          // the game chosen again once a command's refresh is read
    QHash<QString, QString> chosenIn;  // folder -> the game chosen there last
};

// The preview panel's picture and title.
struct PreviewState {
    std::unique_ptr<ScreenshotSearch> screenshots;
    PictureLoader* pictures = nullptr;
    QString shown;       // the picture file shown or being decoded; empty for none
    QSize fullSize;      // that picture's own size, once decoded
    QString titleText;   // the game's title, before fitTitle shortened it to its panel
    QString shownStamp;  // the shown picture's size and date, found off the window's thread
    // The selected game's picture as the preview's thread last found it (empty: none or not
    // known yet), its neighbours' with their stamps, and its date and size.
    QString shot;
    QList<std::pair<QString, QString>> neighbourShots;
    QString infoOf;
    QString info;
};

// Where the layout put the controls, in twips.
struct LayoutState {
    DesignSizes design;
    QHash<const QWidget*, TwipRect> twips;
    QRect filesArea;  // the list's place, the filter line included
    int dragStartX = 0;
};
