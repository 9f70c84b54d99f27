#include "launcher/ui/MainWindow.h"

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListView.h"
#include "gifview/ui/GifView.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/GameTitle.h"
#include "launcher/games/PictureLoader.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/PictureBox.h"
#include "platform/PropertyBag.h"
#include "platform/SettingsStore.h"
#include "platform/Volumes.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

namespace {
// The window's inner size as designed, in twips.
constexpr int kDesignWidth = 10485;
constexpr int kDesignHeight = 7110;
constexpr int kPollMs = 2000;

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
    : QWidget(parent),
      m_services(services),
      m_screenshots(std::make_unique<ScreenshotSearch>()),
      m_titles(std::make_unique<GameTitles>()) {
    Q_INIT_RESOURCE(resources);
    setWindowTitle(QStringLiteral("Rombard"));
    createControls();
    applyLook();
    connectEvents();
    resize(toPixels(kDesignWidth), toPixels(kDesignHeight));
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    Files = new FileListView(this);
    Files->setObjectName(QStringLiteral("Files"));
    // Its look (font, gold on black) and behaviour are the list's stored design values.
    Files->ReadDesignValues(QStringLiteral("Files"));
    driveList = new QComboBox(this);
    driveList->setObjectName(QStringLiteral("driveList"));
    dirList = new QListWidget(this);
    dirList->setObjectName(QStringLiteral("dirList"));
    driveList->hide();
    dirList->hide();

    frmShot = new QFrame(this);
    frmShot->setObjectName(QStringLiteral("frmShot"));
    imgShot = new PictureBox(frmShot);
    imgShot->setObjectName(QStringLiteral("imgShot"));
    imgShot->setAccessibleName(QStringLiteral("No picture"));
    // Over the picture box, under the title.
    AniGIF = new GifView(frmShot);
    AniGIF->setObjectName(QStringLiteral("AniGIF"));
    AniGIF->ReadProperties(platform::PropertyBag::fromJson(QByteArray(kAniGifDesign)));
    AniGIF->hide();
    m_pictures = new PictureLoader(this);
    lblShadow = new QLabel(frmShot);
    lblShadow->setObjectName(QStringLiteral("lblShadow"));
    lblTitle = new QLabel(frmShot);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    imgDefault = new PictureBox(this);
    imgDefault->setObjectName(QStringLiteral("imgDefault"));
    imgDefault->hide();
    imgDefault->setPicture(QPixmap(QStringLiteral(":/default.png")));
    imgShot->setPicture(imgDefault->Picture());

    cmbEmu = new QComboBox(this);
    cmbEmu->setObjectName(QStringLiteral("cmbEmu"));
    txtCommandLine = new QLineEdit(this);
    txtCommandLine->setObjectName(QStringLiteral("txtCommandLine"));
    btnBrowse = new QPushButton(QStringLiteral("..."), this);
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setToolTip(QStringLiteral("Browse Directory"));
    lblCredits = new QLabel(QStringLiteral("Rombard team"), this);
    lblCredits->setObjectName(QStringLiteral("lblCredits"));
    lblCredits->setToolTip(QStringLiteral("https://rombard.example.org"));
    lblCredits->setCursor(Qt::PointingHandCursor);

    tmrTimer = new QTimer(this);
    tmrTimer->setInterval(kPollMs);

    // Design places of the labels inside the frame; the layout sets only their width.
    m_twips.insert(lblTitle, {0, 60, 0, 975});
    m_twips.insert(lblShadow, {30, 120, 0, 975});
    // The rest of the design sizes the layout keeps.
    m_twips.insert(driveList, {0, 0, 0, m_design.driveListHeight});
}

void MainWindow::applyLook() {
    // Styles paint a closed combo box with their own button face; only a style sheet
    // gets it black.
    cmbEmu->setStyleSheet(
        QStringLiteral("QComboBox, QComboBox QAbstractItemView { background-color: black; color: "
                       "rgb(224,224,224); }"));
    cmbEmu->setFont(fontOf("Verdana", 8.25));
    paint(txtCommandLine, Qt::black, kLightGrey);
    txtCommandLine->setFont(fontOf("Verdana", 9));
    lblCredits->setFont(fontOf("MS Sans Serif", 8.25));
    QPalette credits = lblCredits->palette();
    credits.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblCredits->setPalette(credits);
    lblCredits->setAlignment(Qt::AlignCenter);
    paint(driveList, kBlueGrey, kGold);
    driveList->setFont(fontOf("Verdana", 14.25, true));
    paint(dirList, Qt::black, kGold);
    dirList->setFont(fontOf("Verdana", 14.25));
    paint(frmShot, Qt::black, kGold);
    frmShot->setFrameShape(QFrame::NoFrame);
    for (QLabel* label : {lblTitle, lblShadow}) {
        label->setFont(fontOf("Verdana", 20.25));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
    }
    QPalette title = lblTitle->palette();
    title.setColor(QPalette::WindowText, kGold);
    lblTitle->setPalette(title);
    QPalette shadow = lblShadow->palette();
    shadow.setColor(QPalette::WindowText, Qt::black);
    lblShadow->setPalette(shadow);
    // The shadow only draws; clicks go to the title or the picture.
    lblShadow->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void MainWindow::connectEvents() {
    connect(cmbEmu, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) cmbEmu_Click();
    });
    connect(txtCommandLine, &QLineEdit::textChanged, this, [this] { txtCommandLine_Change(); });
    connect(Files, &FileListView::DblClick, this, [this] { Files_DblClick(); });
    connect(Files, &FileListView::ItemClick, this, [this](int) { Files_ItemClick(); });
    connect(m_pictures, &PictureLoader::loaded, this,
            [this](quint64, const QString& path, const QImage& picture, const QSize& full) {
                pictureLoaded(path, picture, full);
            });
    connect(Files, &FileListView::KeyDown, this,
            [this](int KeyCode, int Shift) { Files_KeyDown(KeyCode, Shift); });
    connect(tmrTimer, &QTimer::timeout, this, [this] { tmrTimer_Timer(); });
    // F12 works wherever the focus is in the window.
    auto* f12 = new QShortcut(QKeySequence(Qt::Key_F12), this);
    connect(f12, &QShortcut::activated, this, [this] {
        int KeyCode = 123, Shift = 0;
        Form_KeyDown(KeyCode, Shift);
    });
    for (QObject* o : std::initializer_list<QObject*>{cmbEmu, txtCommandLine, frmShot, imgShot,
                                                      AniGIF, lblTitle, lblCredits})
        o->installEventFilter(this);
    connectNavigation();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
            return routeKey(watched, static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
            if (watched == txtCommandLine) txtCommandLine_GotFocus();
            return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return routeMouse(watched, static_cast<QMouseEvent*>(event));
        case QEvent::Resize:
            if (watched == imgShot) previewResized();
            return false;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

bool MainWindow::routeKey(QObject* watched, QKeyEvent* key) {
    // Keys without a code of their own (letters beyond ASCII, for one) still type.
    const int code = VirtualKeyCode(key->key(), key->modifiers());
    int KeyCode = code;
    int Shift = ShiftState(key->modifiers());
    if (watched == dirList || watched == driveList || watched == btnBrowse)
        return routeNavigationKey(watched, code, Shift);
    if (watched == cmbEmu) {
        cmbEmu_KeyDown(KeyCode, Shift);
        return code != 0 && KeyCode == 0;
    }
    if (watched != txtCommandLine) return false;
    txtCommandLine_KeyDown(KeyCode, Shift);
    if (code != 0 && KeyCode == 0) return true;
    // Ctrl+Backspace reaches the command line box's rules as the DEL character (127),
    // which empties the box.
    int KeyAscii = key->key() == Qt::Key_Backspace && (key->modifiers() & Qt::ControlModifier)
                       ? 127
                       : (key->text().isEmpty() ? 0 : key->text().at(0).unicode());
    if (KeyAscii == 0) return false;
    txtCommandLine_KeyPress(KeyAscii);
    return KeyAscii == 0;
}

bool MainWindow::routeMouse(QObject* watched, QMouseEvent* mouse) {
    const QEvent::Type type = mouse->type();
    if (type == QEvent::MouseButtonDblClick) {
        if (watched == imgShot || watched == AniGIF) {
            imgShot_DblClick();
            return true;
        }
        if (watched == lblTitle) {
            lblTitle_DblClick();
            return true;
        }
    }
    if (watched == lblCredits && type == QEvent::MouseButtonRelease &&
        mouse->button() == Qt::LeftButton) {
        lblCredits_Click();
        return true;
    }
    if (watched != frmShot) return false;
    const int Button = type == QEvent::MouseMove ? MouseButtonCode(mouse->buttons())
                                                 : MouseButtonCode(mouse->button());
    const int Shift = ShiftState(mouse->modifiers());
    const float x = static_cast<float>(toTwips(qRound(mouse->position().x())));
    const float y = static_cast<float>(toTwips(qRound(mouse->position().y())));
    if (type == QEvent::MouseButtonPress) {
        // The frame hides and shows the picture under the mouse while it moves, which
        // would end an implicit grab half way through a drag.
        frmShot->grabMouse();
        frmShot_MouseDown(Button, Shift, x, y);
    }
    if (type == QEvent::MouseMove) frmShot_MouseMove(Button, Shift, x, y);
    if (type == QEvent::MouseButtonRelease) {
        if (mouse->buttons() == Qt::NoButton) frmShot->releaseMouse();
        frmShot_MouseUp(Button, Shift, x, y);
    }
    return true;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    bool Cancel = false;
    Form_Unload(Cancel);
    if (Cancel)
        event->ignore();
    else
        event->accept();
}

int MainWindow::toPixels(int twips) const {
    const double dpi = m_services.dpi > 0 ? m_services.dpi : logicalDpiX();
    return TwipsToPixels(twips, dpi);
}

int MainWindow::toTwips(int pixels) const {
    const double dpi = m_services.dpi > 0 ? m_services.dpi : logicalDpiX();
    return PixelsToTwips(pixels, dpi);
}

int MainWindow::ScaleWidth() const {
    return toTwips(width());
}

int MainWindow::ScaleHeight() const {
    return toTwips(height());
}

TwipRect MainWindow::twips(const QWidget* control) const {
    return m_twips.value(control);
}

void MainWindow::moveTwips(QWidget* control, const TwipRect& r) {
    // A tiny window leaves no room for some controls; they keep their place then.
    if (r.width < 0 || r.height < 0) return;
    m_twips.insert(control, r);
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
    if (CurrentEmulator.isEmpty()) return defaultValue;
    return m_services.settings->getSetting(kAppName, CurrentEmulator, key, defaultValue);
}

void MainWindow::saveSetting(const QString& key, const QString& value) {
    m_services.settings->saveSetting(kAppName, CurrentEmulator, key, value);
}

void MainWindow::showFileCount() {
    Files->setToolTip(QString::number(Files->ListCount()) + QStringLiteral(" Files"));
}

void MainWindow::focusFiles() {
    Files->setFocus();
}
