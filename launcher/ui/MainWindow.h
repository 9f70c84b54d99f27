#pragma once

// The launcher's one window: the emulator box, the file list, the preview frame and the
// command line box, with start-up, settings, emulator selection, launching and layout.

#include "identify/Identification.h"
#include "launcher/emulators/InstalledEmulators.h"
#include "launcher/window/WindowLayout.h"
#include "platform/GamepadKeys.h"

#include <QHash>
#include <QImage>
#include <QKeyCombination>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class FolderPrefetch;
class GamePreview;
class FolderLooks;
struct FolderRows;
struct FolderLook;
struct PreviewAnswer;
class PictureLoader;
class ScreenshotSearch;
class GifView;
class FileListView;
class PictureBox;
class DuplicateRun;
enum class DuplicateMode;
struct EmulatorWatch;
struct LaunchPlan;
class PlayHistory;
class GameIdentification;
struct ListsLayout;
struct GameRename;
struct GamePictures;

namespace platform {
class Dialogs;
struct Drive;
class FileOperations;
class Gamepads;
class KeystrokeSender;
class ProcessTable;
class SettingsStore;
class Shell;
class SingleInstance;
class Volumes;
}  // namespace platform

// What the window asks of the system; every service must outlive the window.
struct MainWindowServices {
    platform::SettingsStore* settings = nullptr;
    platform::Shell* shell = nullptr;
    platform::ProcessTable* processes = nullptr;
    platform::Dialogs* dialogs = nullptr;
    platform::KeystrokeSender* keystrokes = nullptr;
    platform::Volumes* volumes = nullptr;
    platform::SingleInstance* singleInstance = nullptr;
    // Renames and the trash; also used by the duplicate search's own thread.
    platform::FileOperations* files = nullptr;
    QString programFolder;  // the emulator folder chosen at start (its own folder by default)
    double dpi = 0;         // dots per inch for twips; 0 takes the screen's
    // Where the installed emulators and emulators.conf are looked for; the default finds none.
    InstalledSearch installed;
    // Last, so that lists of the services above stay as they are.
    platform::Gamepads* gamepads = nullptr;  // none: the window takes no pad input
    // The play history and favourites; none: no history columns, Ctrl+D does nothing.
    PlayHistory* history = nullptr;
    // Makes the identifier of games by checksum; called on the identification's own thread.
    // None: no "Verified" column, and Ctrl+I and Ctrl+N say that games cannot be identified.
    std::function<std::unique_ptr<identify::FolderIdentifier>()> identifier;
    // The emulator folder's games folder, read ahead while the window is made; start()
    // lists and searches it from these entries when they still hold, then lets them go.
    FolderPrefetch* readAhead = nullptr;
    // Games folders are read on a thread of its own and the window never waits for one
    // (a folder on a share may answer slowly, or not at all); off, each is read at once.
    bool readsFoldersInBackground = false;
};

// The caption's tail after the emulator and system; begins with a space. The project has
// no web address of its own: none is shown, and none is offered to open.
inline const QString kCaptionSuffix = QStringLiteral(" - Emulator Launcher by the Rombard team");

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up. False when another copy already runs: this one must end at once,
    // without saving anything.
    bool start();
    // Whether the selected game's preview (its picture, title, date and size) is still to
    // come.
    bool picturePending() const;
    // The folder list's folder, no trailing "/" but on "/". Setting it lists the folder
    // again; a folder that cannot be entered leaves everything as it was (false). The file
    // list follows when the folder differs.
    QString folderListPath() const;
    bool setFolderListPath(const QString& path);
    void refreshFolderList();
    // Whether the drive and folder lists still wait for what their thread looks up.
    bool folderListsPending() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void prepareToClose();
    void layOutControls();
    void saveEmulatorSettings();
    // F12: the preview frame to the window's right edge, or back to the default split.
    void togglePreviewPanel();

    void scanEmulators();
    void selectEmulator();
    void selectRomFolder(const QString& folder);
    // The next games folder to try, while the ones tried hold no games (selectRomFolder);
    // one still being read is waited for (romFolderListed).
    void tryNextRomFolder();
    void romFolderListed();
    void handleEmulatorBoxKey(QKeyCombination key);

    void launchSelectedGame();
    void handleFileListKey(QKeyCombination key);
    // After a file list command: the focus passes through the command line box and
    // comes back to the list unless Shift alone is held.
    void finishFileListKey(Qt::KeyboardModifiers held);
    // True when the key is used up.
    bool handleCommandLineKey(QKeyCombination key);
    bool handleNavigationKey(QObject* watched, QKeyCombination key);
    void filterByCommandLine();
    // The mask the command line box's filter builds on: F3's while it holds, else the
    // system's.
    QString listMask() const;
    void flashCommandLine();
    void restoreWhenEmulatorEnds();
    // Shift+Enter: the selected file to the desktop's program, or why it has none.
    void openWithDesktop();

    // Preview panel and titles.
    void showSelectedGame();
    // Where the pictures of the listed games are looked for, in order.
    QStringList screenshotFolders() const;
    // The pictures of the games of `folder`, in the folders the preview searches.
    GamePictures picturesOf(const QString& folder);
    // What the preview's thread found for the selected game: its picture, its title (and
    // zinc's game number in m_title's "Tag"), its date and size.
    void previewAnswered(const PreviewAnswer& answer);
    // The title's tip and what a screen reader says of the game besides its title.
    void showGameInfo(const QString& fileName);
    // A GIF animated, any other picture decoded at the size shown, nothing: the default
    // picture (unless it is shown already). `stamp` is the picture's, taken off the
    // window's thread.
    void showPicture(const QString& shot, const QString& stamp);
    // Back to the default picture, whatever is shown.
    void resetPreview();

    // Folder navigation.
    void toggleFolderLists();
    void openSelectedDrive();
    void listFilesOfFolderList();
    // Once another folder is listed: the game chosen there last (the stored one for the
    // folder the settings keep), else the first, is selected and shown.
    void selectGameOfFolder();
    void browseForFolder();
    // The drive list's volume root (ends in "/"). Selecting one lists nothing.
    QString selectedDrive() const;
    void selectDrive(const QString& root);
    // Full path of row `index`; the folder itself for -1.
    QString folderAtRow(int index) const;

    // File commands of the list's keys; each returns false when the key ends without
    // the closing step (a cancelled prompt).
    bool deleteSelectedFile();
    bool renameSelectedFile();
    bool askFileMask();
    // Clears `held` once the macro ran, so the closing step returns to the list.
    bool runKeyMacro(Qt::KeyboardModifiers& held);
    bool hideFilesByPattern();
    bool askRemoveDuplicates();
    bool askStripText();
    bool toggleDumpTag(int shiftState);

    // The file operations behind them. renameFile fills in an empty folder with the
    // listed one, gives back the name actually used in newName and sets ok only when the
    // file was renamed.
    void renameFile(const QString& oldName, QString& newName, QString& folder, bool& ok);
    // Says so when the rename of `oldName` gave another name than `wanted` (it was taken);
    // `given` is empty when nothing was renamed.
    void tellNameGiven(const QString& oldName, const QString& wanted, const QString& given,
                       const QString& title);
    // Lists the folder again and selects selectName (letter case ignored) when it is
    // listed, else the same row number as before.
    void refreshFileList(const QString& selectName);
    // Counts the copies first (DryRun): F7 asks with their number, then removes them.
    void removeDuplicates(DuplicateMode mode);
    // The games renamed, old name to new, for whatever follows a game by its name.
    std::vector<GameRename> removeTextFromNames(const QString& text);

    // The play history (MainWindowHistory.cpp).
    void connectHistory();
    void refreshPlayColumns();
    bool toggleFavourite();
    bool toggleFavouritesOnly();
    // The list's tip: how many files (or favourites) are listed, and once the history's
    // notice.
    QString fileCountTip();
    // The line under the list that says what keeps files out of it (favourites only, files
    // hidden by F4); hidden while nothing does.
    QString activeFiltersText() const;
    void showActiveFilters();
    // The list in its place, with the filter line under it while that shows.
    void placeFilesAndFilters();

    // Identification by checksum (MainWindowIdentify.cpp): the "Verified" column, the
    // game's tip, Ctrl+I and Ctrl+N.
    void connectIdentification();
    // Identifies the listed folder once the events under way are done, so the listings of
    // one command (start-up lists more than once) start one run.
    void queueIdentification();
    void identifyListedFolder();
    bool identifyAgain();
    bool renameToCanonicalName();
    // What the game's tip says: its date and size, then what identification knows of it.
    QString gameInfoText(const QString& fileName) const;

    void placePreviewFrame(int left, bool force);
    // The preview frame dragged by its edge; x in twips within the frame.
    void startPreviewDrag(int x);
    void dragPreview(int x);
    void endPreviewDrag();

    // The window's inner size in twips.
    int innerWidth() const;
    int innerHeight() const;
    // Where the layout last put a control, in twips.
    TwipRect twips(const QWidget* control) const;
    int toPixels(int twips) const;
    int toTwips(int pixels) const;

    void createControls();
    void applyLook();
    void connectEvents();
    bool routeKey(QObject* watched, QKeyEvent* event);
    bool routeMouse(QObject* watched, QMouseEvent* mouse);
    void moveTwips(QWidget* control, const TwipRect& rect);
    void setTwipsWidth(QWidget* control, int width);
    // Shows the window and asks for it to come forward; on Wayland with the token a later
    // copy handed over, if any.
    void bringToFront(const QString& activationToken = {});
    void restorePlacement();
    QString setting(const QString& key, const QString& defaultValue) const;
    void saveSetting(const QString& key, const QString& value);
    // The list's tip: the file count, then the identification's progress while it runs.
    void showFileCount();
    void showListTip();
    void focusFiles();
    void connectNavigation();
    void fillDrives(const QList<platform::Drive>& drives);
    // Shows the rows without touching the disk.
    void showFolderRows(const FolderRows& rows);
    bool atVolumeRoot() const;
    void applyListsLayout(const ListsLayout& layout);

    // Pads type the keyboard's keys into the focused control (MainWindowGamepad.cpp).
    void connectGamepads();
    void handlePadEvent(const platform::PadEvent& event);
    void sendPadKeys(const QStringList& keys);
    bool takesPadInput() const;
    void showPadTip(const QString& text);

    void pictureLoaded(const QString& path, const QImage& picture, const QSize& full);
    void previewResized();
    // Shows the game's title as it fits the title's panel (m_titleText whole), and keeps
    // the default picture's lettering clear of it.
    void fitTitle();
    // Decodes the pictures of the games next to the selection while nothing else is due.
    void readAhead();
    QSize shownSize() const;

    // The duplicate search of F7 runs on a thread of its own (MainWindowDuplicates.cpp).
    void finishDuplicateRun();
    // F7's question, once the copies of `folder` are counted: removing starts on OK.
    void askRemoveCountedDuplicates(int count, const QString& folder);
    // Stops a running search after the file operation under way and reports what it did;
    // nothing when none runs.
    void stopDuplicateRun();

    // The installed and user-described emulators, the hint of a folder without any, the
    // emulator chosen last per folder, a folder handed over by a later copy, and what the
    // emulator started last wrote (MainWindowInstalled.cpp).
    // The problems of emulators.conf, for the message once this copy is the only one.
    QStringList findInstalledEmulators();
    void reportUserEmulatorProblems(const QStringList& problems);
    void addInstalledEmulators();
    // The installed emulator the box has selected; null for one of the folder's own.
    const InstalledEmulator* selectedInstalled() const;
    void showNoEmulatorHint(bool show);
    int storedEmulatorRow() const;
    // The box's role that holds a folder emulator's catalogue name, the key of its settings
    // and launch rules; the box shows the program's own name. Installed ones have none.
    static constexpr int kCatalogueNameRole = Qt::UserRole + 2;
    QString emulatorKeyAt(int row) const;
    int emulatorRowOf(const QString& key) const;
    void rememberEmulatorOfFolder();
    void switchEmulatorFolder(const QString& folder, const QString& activationToken = {});
    // The name the poll looks for while the emulator runs.
    QString watchedProcess() const;
    // Around the start: the output pipe handed to the program, then whether it started.
    void watchEmulatorOutput(LaunchPlan& plan);
    void emulatorStarted(const LaunchPlan& plan, bool started);
    // Where the window comes back: a message when the emulator gave up at once.
    void reportEarlyEnd();

    QList<InstalledEmulator> m_installed;
    std::unique_ptr<EmulatorWatch> m_watch;
    QLabel* m_noEmulatorHint = nullptr;  // "lblNoEmulator"
    QLabel* m_filtersLine = nullptr;     // "lblFilters"
    QRect m_filesArea;                   // the list's place, the filter line included

    MainWindowServices m_services;
    std::unique_ptr<ScreenshotSearch> m_screenshots;
    std::unique_ptr<GamePreview> m_preview;
    std::unique_ptr<FolderLooks> m_folderLooks;
    // The selected game's picture as the preview's thread last found it (empty: none or
    // not known yet), its neighbours' with their stamps, and its date and size.
    QString m_previewShot;
    QList<std::pair<QString, QString>> m_neighbourShots;
    QString m_fileInfoOf;
    QString m_fileInfo;
    PictureLoader* m_pictures = nullptr;
    QString m_shownPicture;  // the picture file shown or being decoded; empty for none
    QString m_shownStamp;    // its size and date when the preview's thread found it
    QHash<QString, QString> m_chosenInFolder;
    // The emulator folder when it holds no emulator of its own: a folder of games, always
    // the one listed (HoldsEmulators).
    QString m_gamesFolder;  // folder -> the game chosen there last
    QSize m_shownFullSize;  // that picture's own size, once decoded
    DesignSizes m_design;
    QHash<const QWidget*, TwipRect> m_twips;
    QString m_folderListPath;
    QStringList m_romFolderChoices;   // the games folders still to try, in order
    bool m_romFolderPending = false;  // the folder tried is being read
    int m_wantedListIndex = -1;       // the stored game, chosen once its folder is read
    QString m_selectWhenListed;       // the game chosen again once a command's refresh is read

    QString m_emulatorFolder;   // always ends in "/"
    QString m_currentEmulator;  // catalogue spelling; also the settings section
    QString m_systemName;
    QString m_fileMask;
    QString m_chosenMask;  // set with F3 for this emulator; empty: the system's mask
    Qt::WindowStates m_stateBeforeLaunch;
    bool m_busy = false;
    QString m_hidePattern;
    QString m_keyMacro;
    bool m_macroRunning = false;
    int m_previewDragStartX = 0;

    // Controls, owned by the window; their object names are those of the design.
    QComboBox* m_emulatorBox = nullptr;     // "cmbEmu"
    QLineEdit* m_commandLine = nullptr;     // "txtCommandLine"
    QPushButton* m_browseButton = nullptr;  // "btnBrowse"
    QLabel* m_credits = nullptr;            // "lblCredits"
    QComboBox* m_driveList = nullptr;       // "driveList"
    QListWidget* m_folderList = nullptr;    // "dirList"
    FileListView* m_fileList = nullptr;     // "Files"
    QFrame* m_previewFrame = nullptr;       // "frmShot"
    PictureBox* m_picture = nullptr;        // "imgShot"
    QLabel* m_titleShadow = nullptr;        // "lblShadow"
    QString m_titleText;        // the game's title, before fitTitle shortened it to its panel
    QLabel* m_title = nullptr;  // "lblTitle"; its "Tag" property holds the arcade game number
    PictureBox* m_defaultPicture = nullptr;  // "imgDefault"
    GifView* m_animation = nullptr;          // "AniGIF", over m_picture's rectangle
    QTimer* m_emulatorPoll = nullptr;
    DuplicateRun* m_duplicateRun = nullptr;  // a child of the window while a search runs
    GameIdentification* m_identification = nullptr;
    // The listed folder's answers by name; only for m_identifiedFolder.
    QHash<QString, identify::Identification> m_identified;
    QString m_identifiedFolder;
    bool m_identifyAllowed = false;  // from the first show on: start-up never waits
    bool m_identifyQueued = false;
    bool m_identifyAsked = false;      // the run was Ctrl+I's: its problems are all said
    bool m_identifierMissing = false;  // the identifier could not be made
    QStringList m_sourcesTold;         // skipped sources said already
    QString m_countTip;
    QString m_identifyProgress;
    platform::GamepadKeys m_padKeys;
    QTimer* m_padRepeat = nullptr;  // "gamepadRepeat"
    QTimer* m_padTip = nullptr;     // "gamepadTip": puts the list's own tip back
};
