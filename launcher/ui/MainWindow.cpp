#include "launcher/ui/MainWindow.h"

#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/emulators/CommandLineText.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/GamePreview.h"
#include "launcher/games/GameTitle.h"
#include "launcher/games/PictureLoader.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/AccessibleTree.h"
#include "launcher/ui/EmulatorSession.h"
#include "launcher/ui/FileCommands.h"
#include "launcher/ui/FocusRing.h"
#include "launcher/ui/IdentificationView.h"
#include "launcher/ui/KeyReferenceDialog.h"
#include "launcher/ui/PadInput.h"
#include "launcher/ui/PictureBox.h"
#include "launcher/window/FolderLooks.h"
#include "launcher/window/KeyCommands.h"
#include "platform/PropertyBag.h"
#include "platform/SettingsStore.h"
#include "platform/Volumes.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

namespace {
// The window's inner size as designed, in twips.
constexpr int kDesignWidth = 10485;
constexpr int kDesignHeight = 7110;

const QColor kLightGrey(224, 224, 224);
const QColor kGold(236, 209, 62);
const QColor kBlueGrey(36, 52, 72);
// The GIF view's design: the animation stretched to fill the panel, on black.
constexpr char kAniGifDesign[] =
    R"({"autoSize": false, "bkColor": 0, "Stretch": 2, "scaleFactor": 2})";

QFont fontOf(const char* family, double points, bool bold = false) {
    QFont f(QString::fromLatin1(family));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// One reference window at a time; F1 again while it is open brings it forward.
void showKeyReference(QWidget* window) {
    auto* shown =
        window->findChild<QDialog*>(QStringLiteral("keyReference"), Qt::FindDirectChildrenOnly);
    if (!shown) shown = new KeyReferenceDialog(window);
    shown->show();
    shown->raise();
    shown->activateWindow();
    if (QWidget* inside = shown->focusWidget()) inside->setFocus();
}

void paint(QWidget* w, const QColor& back, const QColor& fore) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Window, back);
    p.setColor(QPalette::Button, back);
    p.setColor(QPalette::Text, fore);
    p.setColor(QPalette::WindowText, fore);
    p.setColor(QPalette::ButtonText, fore);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}
}  // namespace

MainWindow::MainWindow(const MainWindowServices& services, QWidget* parent)
    : QWidget(parent), m_services(services) {
    m_preview.screenshots = std::make_unique<ScreenshotSearch>();
    m_folderLooks = std::make_unique<FolderLooks>(*services.volumes);
    Q_INIT_RESOURCE(resources);
    setWindowTitle(QStringLiteral("Rombard"));
    createControls();
    applyLook();
    connectEvents();
    connectHistory();
    // After the history: the identification hooks itself in front of the history's
    // listing hook.
    createCollaborators();
    if (m_services.readsFoldersInBackground) {
        m_ui.fileList->readFoldersInBackground();
        connect(m_ui.fileList, &FileListView::readingStatusChanged, this,
                &MainWindow::showFileCount);
        connect(m_ui.fileList, &FileListView::folderShownFromIndex, this,
                &MainWindow::romFolderShownFromIndex);
        connect(m_ui.fileList, &FileListView::folderListed, this, &MainWindow::romFolderListed);
    }
    resize(toPixels(kDesignWidth), toPixels(kDesignHeight));
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    m_ui.fileList = new FileListView(this);
    m_ui.fileList->setObjectName(QStringLiteral("Files"));
    // Its look (font, gold on black) and behaviour are the list's stored design values.
    m_ui.fileList->readDesignValues(QStringLiteral("Files"));
    m_ui.fileList->setKeysKeptFromView(fileListKeysKeptFromView());
    // The focus is on the list's inner view, which is what a screen reader names.
    m_ui.fileList->setAccessibleName(QStringLiteral("Games"));
    for (QAbstractItemView* view : m_ui.fileList->findChildren<QAbstractItemView*>())
        view->setAccessibleName(m_ui.fileList->accessibleName());
    m_ui.driveList = new QComboBox(this);
    m_ui.driveList->setObjectName(QStringLiteral("driveList"));
    // Before its name: naming makes the accessible interface, which must be ours.
    nameComboBox(m_ui.driveList);
    m_ui.driveList->setAccessibleName(QStringLiteral("Drive"));
    m_ui.folderList = new QListWidget(this);
    m_ui.folderList->setObjectName(QStringLiteral("dirList"));
    m_ui.folderList->setAccessibleName(QStringLiteral("Folders"));
    m_ui.driveList->hide();
    m_ui.folderList->hide();
    auto* ring = new FocusRing(this);
    ring->watch(m_ui.driveList);
    ring->watch(m_ui.folderList);

    m_ui.previewFrame = new QFrame(this);
    m_ui.previewFrame->setObjectName(QStringLiteral("frmShot"));
    m_ui.picture = new PictureBox(m_ui.previewFrame);
    m_ui.picture->setObjectName(QStringLiteral("imgShot"));
    m_ui.picture->setAccessibleName(QStringLiteral("No picture"));
    // Over the picture box, under the title.
    m_ui.animation = new GifView(m_ui.previewFrame);
    m_ui.animation->setObjectName(QStringLiteral("AniGIF"));
    m_ui.animation->readProperties(platform::PropertyBag::fromJson(QByteArray(kAniGifDesign)));
    m_ui.animation->hide();
    m_preview.pictures = new PictureLoader(this);
    m_gamePreview = std::make_unique<GamePreview>(
        [this](const PreviewAnswer& answer) { previewAnswered(answer); });
    m_ui.titleShadow = new QLabel(m_ui.previewFrame);
    m_ui.titleShadow->setObjectName(QStringLiteral("lblShadow"));
    // It only draws the title again, a little offset; read once is enough.
    hideFromAccessibility(m_ui.titleShadow);
    // Named only now: naming makes its accessible interface, which must know the shadow.
    m_ui.previewFrame->setAccessibleName(QStringLiteral("Selected game"));
    m_ui.title = new QLabel(m_ui.previewFrame);
    m_ui.title->setObjectName(QStringLiteral("lblTitle"));
    m_ui.defaultPicture = new PictureBox(this);
    m_ui.defaultPicture->setObjectName(QStringLiteral("imgDefault"));
    m_ui.defaultPicture->setAccessibleName(QStringLiteral("Default picture"));
    m_ui.defaultPicture->hide();
    m_ui.defaultPicture->setPicture(QPixmap(QStringLiteral(":/default.png")));
    m_ui.picture->setPicture(m_ui.defaultPicture->Picture());

    m_ui.emulatorBox = new QComboBox(this);
    m_ui.emulatorBox->setObjectName(QStringLiteral("cmbEmu"));
    nameComboBox(m_ui.emulatorBox);
    m_ui.emulatorBox->setAccessibleName(QStringLiteral("Emulator"));
    m_ui.commandLine = new QLineEdit(this);
    m_ui.commandLine->setObjectName(QStringLiteral("txtCommandLine"));
    m_ui.commandLine->setAccessibleName(QStringLiteral("Command line switches or search"));
    m_ui.browseButton = new QPushButton(QStringLiteral("..."), this);
    m_ui.browseButton->setObjectName(QStringLiteral("btnBrowse"));
    m_ui.browseButton->setToolTip(QStringLiteral("Browse Directory"));
    m_ui.browseButton->setAccessibleName(QStringLiteral("Browse folders"));
    m_ui.credits = new QLabel(QStringLiteral("Rombard team"), this);
    m_ui.credits->setObjectName(QStringLiteral("lblCredits"));
    m_ui.credits->setToolTip(QStringLiteral("Emulator Launcher by the Rombard team"));
    m_ui.credits->setAccessibleDescription(m_ui.credits->toolTip());

    // Design places of the labels inside the frame; the layout sets only their width.
    m_layout.twips.insert(m_ui.title, {0, 60, 0, 975});
    m_layout.twips.insert(m_ui.titleShadow, {30, 120, 0, 975});
    // The rest of the design sizes the layout keeps.
    m_layout.twips.insert(m_ui.driveList, {0, 0, 0, m_layout.design.driveListHeight});
}

void MainWindow::applyLook() {
    // Styles paint a closed combo box with their own button face; only a style sheet
    // gets it black.
    m_ui.emulatorBox->setStyleSheet(
        QStringLiteral("QComboBox, QComboBox QAbstractItemView { background-color: black; color: "
                       "rgb(224,224,224); }"));
    m_ui.emulatorBox->setFont(fontOf("Verdana", 8.25));
    paint(m_ui.commandLine, Qt::black, kLightGrey);
    m_ui.commandLine->setFont(fontOf("Verdana", 9));
    m_ui.credits->setFont(fontOf("MS Sans Serif", 8.25));
    QPalette credits = m_ui.credits->palette();
    credits.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_ui.credits->setPalette(credits);
    m_ui.credits->setAlignment(Qt::AlignCenter);
    paint(m_ui.driveList, kBlueGrey, kGold);
    m_ui.driveList->setFont(fontOf("Verdana", 14.25, true));
    paint(m_ui.folderList, Qt::black, kGold);
    m_ui.folderList->setFont(fontOf("Verdana", 14.25));
    paint(m_ui.previewFrame, Qt::black, kGold);
    m_ui.previewFrame->setFrameShape(QFrame::NoFrame);
    for (QLabel* label : {m_ui.title, m_ui.titleShadow}) {
        label->setFont(fontOf("Verdana", 20.25));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
    }
    QPalette title = m_ui.title->palette();
    title.setColor(QPalette::WindowText, kGold);
    m_ui.title->setPalette(title);
    QPalette shadow = m_ui.titleShadow->palette();
    shadow.setColor(QPalette::WindowText, Qt::black);
    m_ui.titleShadow->setPalette(shadow);
    // The shadow only draws; clicks go to the title or the picture.
    m_ui.titleShadow->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainWindow::connectEvents() {
    connect(m_ui.emulatorBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0) return;
        // Another system lists other files: a mask chosen for this one does not carry over.
        m_commands->forgetChosenMask();
        selectEmulator();
    });
    connect(m_ui.commandLine, &QLineEdit::textChanged, this, [this] {
        // Switches leave the list's pattern as it is: listing the folder again would lose
        // the selected game, and Enter would start another.
        if (patternForBoxText(listMask(), m_ui.commandLine->text()) != m_ui.fileList->pattern())
            filterByCommandLine();
    });
    connect(m_ui.fileList, &FileListView::dblClick, this, [this] { launchSelectedGame(); });
    connect(m_ui.fileList, &FileListView::itemClick, this, [this](int) { showSelectedGame(); });
    connect(m_preview.pictures, &PictureLoader::loaded, this,
            [this](quint64, const QString& path, const QImage& picture, const QSize& full) {
                pictureLoaded(path, picture, full);
            });
    connect(m_ui.fileList, &FileListView::keyDown, this, [this](int keyCode, int shiftState) {
        handleFileListKey(keyOfListCode(keyCode, shiftState));
    });
    // These keys work wherever the focus is in the window.
    for (const KeyRule& rule : windowKeys()) {
        for (int k = rule.first; k <= int(rule.last); ++k) {
            const QKeyCombination key(rule.modifiers, Qt::Key(k));
            auto* shortcut = new QShortcut(QKeySequence(key), this);
            connect(shortcut, &QShortcut::activated, this, [this, key] {
                switch (commandFor(windowKeys(), key)) {
                    case KeyCommand::ShowKeyReference:
                        showKeyReference(this);
                        break;
                    case KeyCommand::TogglePreviewPanel:
                        togglePreviewPanel();
                        break;
                    default:
                        break;
                }
            });
        }
    }
    for (QObject* o :
         std::initializer_list<QObject*>{m_ui.emulatorBox, m_ui.commandLine, m_ui.previewFrame,
                                         m_ui.picture, m_ui.animation, m_ui.title, m_ui.credits})
        o->installEventFilter(this);
    connectNavigation();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            return routeKey(watched, static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
            if (watched == m_ui.commandLine) flashCommandLine();
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return routeMouse(watched, static_cast<QMouseEvent*>(event));
        case QEvent::Resize:
            if (watched == m_ui.picture) previewResized();
            if (watched == m_ui.title) fitTitle();
            return false;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

bool MainWindow::routeKey(QObject* watched, QKeyEvent* event) {
    const QKeyCombination key = event->keyCombination();
    if (watched == m_ui.folderList || watched == m_ui.driveList || watched == m_ui.browseButton)
        return handleNavigationKey(watched, key);
    if (watched == m_ui.emulatorBox) {
        handleEmulatorBoxKey(key);
        return false;
    }
    return watched == m_ui.commandLine && handleCommandLineKey(key);
}

bool MainWindow::routeMouse(QObject* watched, QMouseEvent* mouse) {
    const QEvent::Type type = mouse->type();
    if (type == QEvent::MouseButtonDblClick) {
        if (watched == m_ui.picture || watched == m_ui.animation || watched == m_ui.title) {
            launchSelectedGame();
            return true;
        }
    }
    if (watched != m_ui.previewFrame) return false;
    const int x = toTwips(qRound(mouse->position().x()));
    if (type == QEvent::MouseButtonPress) {
        // The frame hides and shows the picture under the mouse while it moves, which
        // would end an implicit grab half way through a drag.
        m_ui.previewFrame->grabMouse();
        startPreviewDrag(x);
    }
    if (type == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton)) dragPreview(x);
    if (type == QEvent::MouseButtonRelease) {
        if (mouse->buttons() == Qt::NoButton) m_ui.previewFrame->releaseMouse();
        endPreviewDrag();
    }
    return true;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOutControls();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    prepareToClose();
    event->accept();
}

int MainWindow::toPixels(int twips) const {
    const double dpi = m_services.dpi > 0 ? m_services.dpi : logicalDpiX();
    return twipsToPixels(twips, dpi);
}

int MainWindow::toTwips(int pixels) const {
    const double dpi = m_services.dpi > 0 ? m_services.dpi : logicalDpiX();
    return pixelsToTwips(pixels, dpi);
}

int MainWindow::innerWidth() const {
    return toTwips(width());
}

int MainWindow::innerHeight() const {
    return toTwips(height());
}

TwipRect MainWindow::twips(const QWidget* control) const {
    return m_layout.twips.value(control);
}

void MainWindow::moveTwips(QWidget* control, const TwipRect& r) {
    // A tiny window leaves no room for some controls; they keep their place then.
    if (r.width < 0 || r.height < 0) return;
    m_layout.twips.insert(control, r);
    const int left = toPixels(r.left), top = toPixels(r.top);
    control->setGeometry(left, top, toPixels(r.left + r.width) - left,
                         toPixels(r.top + r.height) - top);
}

void MainWindow::setTwipsWidth(QWidget* control, int width) {
    TwipRect r = twips(control);
    r.width = width;
    moveTwips(control, r);
}

QString MainWindow::setting(const QString& key, const QString& defaultValue) const {
    if (m_emu.current.isEmpty()) return defaultValue;
    return m_services.settings->getSetting(kAppName, m_emu.current, key, defaultValue);
}

void MainWindow::saveSetting(const QString& key, const QString& value) {
    m_services.settings->saveSetting(kAppName, m_emu.current, key, value);
}

void MainWindow::showFileCount() {
    m_countTip = fileCountTip();
    showListTip();
    showActiveFilters();
}

void MainWindow::showListTip() {
    QString tip = m_countTip;
    for (const QString& more : {m_identify->progress(), m_commands->progress()})
        if (!more.isEmpty()) tip += QStringLiteral(" - ") + more;
    m_ui.fileList->setToolTip(tip);
}

void MainWindow::focusFiles() {
    m_ui.fileList->setFocus();
}
