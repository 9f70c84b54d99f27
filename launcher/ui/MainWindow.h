#pragma once

// The launcher's one window: the emulator box, the file list, the preview frame and the
// command line box, with start-up, settings, emulator selection, launching and layout.

#include "identify/Identification.h"
#include "launcher/emulators/InstalledEmulators.h"
#include "launcher/ui/PlatformServices.h"
#include "launcher/ui/WindowState.h"
#include "launcher/window/WindowLayout.h"

#include <QImage>
#include <QKeyCombination>
#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

class FolderPrefetch;
class FolderLooks;
struct FolderLook;
class GamePreview;
struct FolderRows;
struct PreviewAnswer;
struct PreviewPicture;
class PlayHistory;
class EmulatorSession;
class FileCommands;
class IdentificationView;
class PadInput;
struct ListsLayout;

namespace platform {
struct Drive;
class Gamepads;
}  // namespace platform

// What the window asks of the system; every service must outlive the window.
struct MainWindowServices : PlatformServices {
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
    // The folder list's folder, no trailing "/" but on "/". Setting it shows the way down
    // to it at once and the rest once its thread has looked (folderListsPending): a folder
    // that cannot be entered then leaves everything as it was, and the file list follows
    // one that differs.
    QString folderListPath() const;
    void setFolderListPath(const QString& path);
    void refreshFolderList();
    // Whether the drive and folder lists still wait for what their thread looks up.
    bool folderListsPending() const;
    // Whether Delete, F2 or F9 still waits for what its thread asks of the disk.
    bool fileCommandPending() const;

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
    void romFolderShownFromIndex();
    // The stored game, once the list holds games.
    void selectWantedGame();
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
    // Shift+Enter: the selected file to the desktop's program, or why it has none.
    void openWithDesktop();

    // Preview panel and titles.
    void showSelectedGame();
    // Where the pictures of the listed games are looked for, in order.
    QStringList screenshotFolders() const;
    // What the preview's thread found for the selected game: its picture, its title (and
    // zinc's game number in the title's "Tag"), its date and size.
    void previewAnswered(const PreviewAnswer& answer);
    // The title's tip and what a screen reader says of the game besides its title.
    void showGameInfo(const QString& fileName);
    // A GIF animated, any other picture decoded at the size shown, nothing: the default
    // picture (unless it is shown already). `stamp` is the picture's, taken off the
    // window's thread.
    void showPicture(const PreviewPicture& found);
    // Back to the default picture, whatever is shown.
    void resetPreview();

    // Folder navigation.
    void toggleFolderLists();
    void openSelectedDrive();
    // setFolderListPath; `mustList`: only a folder whose entries can be read is entered.
    void enterFolder(const QString& path, bool mustList);
    void folderLooked(const FolderLook& look, bool mustList);
    void selectDriveOf(const QString& folder);
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

    // Lists the folder again and selects selectName (letter case ignored) when it is
    // listed, else the same row number as before.
    void refreshFileList(const QString& selectName);
    // The window's collaborators, made once the controls are.
    void createCollaborators();

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
    // The list's tip: the file count, then the progress of the identification and of a
    // file command while they run.
    void showFileCount();
    void showListTip();
    void focusFiles();
    void connectNavigation();
    void fillDrives(const QList<platform::Drive>& drives);
    // Shows the rows without touching the disk.
    void showFolderRows(const FolderRows& rows);
    bool atVolumeRoot() const;
    void applyListsLayout(const ListsLayout& layout);

    void pictureLoaded(const QString& path, const QImage& picture, const QSize& full);
    void previewResized();
    // Shows the game's title as it fits the title's panel (its whole text), and keeps
    // the default picture's lettering clear of it.
    void fitTitle();
    // Decodes the pictures of the games next to the selection while nothing else is due.
    void readAhead();
    QSize shownSize() const;

    // The installed and user-described emulators, the hint of a folder without any, the
    // emulator chosen last per folder and a folder handed over by a later copy
    // (MainWindowInstalled.cpp).
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

    MainWindowServices m_services;
    WindowControls m_ui;
    EmulatorState m_emu;
    FolderState m_folders;
    PreviewState m_preview;
    LayoutState m_layout;
    QString m_countTip;  // the list's tip before what the collaborators add

    // Children of the window, made after the controls and gone before them.
    std::unique_ptr<FileCommands> m_commands;
    std::unique_ptr<EmulatorSession> m_session;
    std::unique_ptr<IdentificationView> m_identify;
    std::unique_ptr<PadInput> m_pad;  // none without pads
    // The threads that look at the disk for the preview and for the folder and drive lists.
    std::unique_ptr<GamePreview> m_gamePreview;
    std::unique_ptr<FolderLooks> m_folderLooks;
};
