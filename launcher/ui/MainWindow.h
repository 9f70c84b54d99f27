#pragma once

// The launcher's one window: the emulator box, the file list, the preview frame and the
// command line box, with start-up, settings, emulator selection, launching and layout.

#include "launcher/window/WindowLayout.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QWidget>

#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class GameTitles;
class PictureLoader;
class ScreenshotSearch;
class GifView;
class FileListView;
class PictureBox;
class DuplicateRun;
struct ListsLayout;

namespace platform {
class Dialogs;
class FileOperations;
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
};

// The caption's tail after the emulator and system; begins with a space.
inline const QString kCaptionSuffix =
    QStringLiteral(" - Emulator Launcher by the Rombard team - https://rombard.example.org");

class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up. False when another copy already runs: this one must end at once,
    // without saving anything.
    bool Form_Load();
    void Form_Unload(bool& Cancel);
    void Form_KeyDown(int& KeyCode, int& Shift);
    void Form_Resize();
    void SaveEmulatorSettings();
    void lblCredits_Click();

    void ScanEmulators();
    void cmbEmu_Click();
    void SelectRomFolder(const QString& folder);
    void cmbEmu_KeyDown(int& KeyCode, int& Shift);

    void LaunchSelected();
    void Files_DblClick();
    void Files_KeyDown(int& KeyCode, int& Shift);
    // After a file list command: the focus passes through the command line box and
    // comes back to the list unless Shift alone is held.
    void FilesClosingStep(int Shift);
    void lblTitle_DblClick();
    void imgShot_DblClick();
    void txtCommandLine_KeyDown(int& KeyCode, int& Shift);
    void txtCommandLine_KeyPress(int& KeyAscii);
    void txtCommandLine_Change();
    void txtCommandLine_GotFocus();
    void tmrTimer_Timer();

    // Preview panel and titles.
    void Files_ItemClick();
    // The real path of the file's picture, or empty.
    QString FindScreenshot(const QString& fileName);
    // An empty file name stands for the selected file.
    QString FindPictureFile(const QString& folder, const QString& fileName = QString());
    // Also leaves zinc's game number in lblTitle's "Tag" when it finds one.
    QString GameTitle(const QString& fileName);
    // A GIF animated, any other picture decoded at the size shown, nothing: the default
    // picture (unless it is shown already).
    void ShowPicture(const QString& shot);
    // Back to the default picture, whatever is shown.
    void ResetPreview();
    // Whether the shown picture is still being decoded.
    bool PicturePending() const;

    // Folder navigation.
    void ToggleFolderLists();
    void driveList_Change();
    void dirList_Change();
    void driveList_KeyDown(int& KeyCode, int& Shift);
    void dirList_KeyDown(int& KeyCode, int& Shift);
    void btnBrowse_KeyDown(int& KeyCode, int& Shift);
    void btnBrowse_Click();
    void Files_ColumnClick(int& Column);
    void Files_MouseDown(int Button, int Shift, float x, float y);
    // The drive list's volume root (ends in "/"). Setting it raises no Change.
    QString Drive() const;
    void setDrive(const QString& root);
    // The folder list's folder, no trailing "/" but on "/". Setting it lists the folder
    // again; a folder that cannot be entered leaves everything as it was (false). Change
    // follows when the folder differs.
    QString dirListPath() const;
    bool setDirListPath(const QString& path);
    void dirListRefresh();
    // Full path of row `index`; the folder itself for -1.
    QString dirListList(int index) const;

    // File commands of the list's keys; each returns false when the key ends without
    // the closing step (a cancelled prompt).
    bool DeleteSelectedFile();
    bool RenameSelectedFile();
    bool AskFileMask();
    bool RunKeyMacro(int& KeyCode, int& Shift);
    bool HideFilesByPattern();
    bool AskRemoveDuplicates();
    bool AskStripText();
    bool ToggleDumpTag(int Shift);

    // The file operations behind them. RenameFile fills in an empty folder with the
    // listed one, gives back the name actually used in newName and sets ok only when the
    // file was renamed.
    void RenameFile(const QString& oldName, QString& newName, QString& folder, bool& ok);
    // Lists the folder again and selects selectName (letter case ignored) when it is
    // listed, else the same row number as before.
    void RefreshFileList(const QString& selectName);
    void RemoveDuplicates();
    void RemoveTextFromNames(const QString& text);

    void PlaceShotFrame(int left, bool force);
    void frmShot_MouseDown(int Button, int Shift, float x, float y);
    void frmShot_MouseMove(int Button, int Shift, float x, float y);
    void frmShot_MouseUp(int Button, int Shift, float x, float y);

    // The window's inner size in twips.
    int ScaleWidth() const;
    int ScaleHeight() const;
    // Where the layout last put a control, in twips.
    TwipRect twips(const QWidget* control) const;
    int toPixels(int twips) const;
    int toTwips(int pixels) const;

    // Shared state of the window.
    QString EmulatorFolder;   // always ends in "/"
    QString CurrentEmulator;  // catalogue spelling; also the settings section
    QString SystemName;
    QString FileMask;
    Qt::WindowStates SavedWindowState;
    bool Busy = false;
    QString HidePattern;
    QString KeyMacro;
    bool MacroRunning = false;
    int ShotDragStartX = 0;

    // Controls, owned by the window.
    QComboBox* cmbEmu = nullptr;
    QLineEdit* txtCommandLine = nullptr;
    QPushButton* btnBrowse = nullptr;
    QLabel* lblCredits = nullptr;
    QComboBox* driveList = nullptr;
    QListWidget* dirList = nullptr;
    FileListView* Files = nullptr;
    QFrame* frmShot = nullptr;
    PictureBox* imgShot = nullptr;
    QLabel* lblShadow = nullptr;
    QLabel* lblTitle = nullptr;  // its "Tag" property holds the arcade game number
    PictureBox* imgDefault = nullptr;
    GifView* AniGIF = nullptr;  // over imgShot's rectangle
    QTimer* tmrTimer = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void applyLook();
    void connectEvents();
    bool routeKey(QObject* watched, QKeyEvent* key);
    bool routeMouse(QObject* watched, QMouseEvent* mouse);
    void moveTwips(QWidget* control, const TwipRect& rect);
    void setTwipsWidth(QWidget* control, int width);
    void bringToFront();
    void restorePlacement();
    QString setting(const QString& key, const QString& defaultValue) const;
    void saveSetting(const QString& key, const QString& value);
    void showFileCount();
    void focusFiles();
    void connectNavigation();
    void fillDrives();
    bool atVolumeRoot() const;
    bool routeNavigationKey(QObject* watched, int KeyCode, int Shift);
    void applyListsLayout(const ListsLayout& layout);

    void pictureLoaded(const QString& path, const QImage& picture, const QSize& full);
    void previewResized();
    // Decodes the pictures of the games next to the selection while nothing else is due.
    void readAhead();
    QSize shownSize() const;

    // The duplicate search of F7 runs on a thread of its own (MainWindowDuplicates.cpp).
    void finishDuplicateRun();
    // Stops a running search after the file operation under way and reports what it did;
    // nothing when none runs.
    void stopDuplicateRun();

    MainWindowServices m_services;
    std::unique_ptr<ScreenshotSearch> m_screenshots;
    std::unique_ptr<GameTitles> m_titles;
    PictureLoader* m_pictures = nullptr;
    QString m_shownPicture;  // the picture file shown or being decoded; empty for none
    QSize m_shownFullSize;   // that picture's own size, once decoded
    DesignSizes m_design;
    QHash<const QWidget*, TwipRect> m_twips;
    QString m_dirListPath;
    DuplicateRun* m_duplicateRun = nullptr;  // a child of the window while a search runs
};
