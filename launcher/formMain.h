#pragma once

// The launcher's one window: the emulator box, the file list, the preview frame and the
// command line box, with start-up, settings, emulator selection, launching and layout.

#include "launcher/WindowLayout.h"

#include <QHash>
#include <QString>
#include <QWidget>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class ucListView;
class ucPictureBox;

namespace platform {
class Dialogs;
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
    QString programFolder;  // the emulator folder chosen at start (its own folder by default)
    double dpi = 0;         // dots per inch for twips; 0 takes the screen's
};

// The caption's tail after the emulator and system; begins with a space.
inline const QString kCaptionSuffix =
    QStringLiteral(" - Emulator Launcher by the Rombard team - https://rombard.example.org");

class formMain : public QWidget {
    Q_OBJECT
public:
    explicit formMain(const MainWindowServices& services, QWidget* parent = nullptr);
    ~formMain() override;

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
    QString FindScreenshot(const QString& fileName);

    // Folder navigation.
    void ToggleFolderLists();

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
    ucListView* Files = nullptr;
    QFrame* frmShot = nullptr;
    ucPictureBox* imgShot = nullptr;
    QLabel* lblShadow = nullptr;
    QLabel* lblTitle = nullptr;  // its "Tag" property holds the arcade game number
    ucPictureBox* imgDefault = nullptr;
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

    MainWindowServices m_services;
    DesignSizes m_design;
    QHash<const QWidget*, TwipRect> m_twips;
};
