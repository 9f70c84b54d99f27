#include "gifview/GifViewCore.h"

#include "gifview/GifColors.h"
#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cstring>

GifViewCore::GifViewCore(GifViewHost& host, QObject* parent)
    : QObject(parent), m_host(host), m_applicationFolder(QCoreApplication::applicationDirPath()) {
    m_doc.info().loopCount = 0;  // endless until a GIF says otherwise
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &GifViewCore::advanceAnimation);
}

GifViewCore::~GifViewCore() {
    unloadGif(true);
}

bool GifViewCore::loadGif(const QString& fileName) {
    const std::optional<platform::RegularFile> file = platform::regularFile(fileName);
    if (!file || file->size < 20) return false;
    if (!fileName.toLower().endsWith(QLatin1String(".gif"))) {
        QImage picture;
        QFile f;
        if (platform::openRegularForReading(f, fileName)) picture = QImageReader(&f).read();
        return showStaticPicture(picture, fileName, true);
    }
    QFile f;
    if (!platform::openRegularForReading(f, fileName)) return false;
    return loadGifBytes(f.readAll(), fileName);
}

bool GifViewCore::loadGifBytes(const QByteArray& bytes, const QString& fileName) {
    if (bytes.size() < 20) return false;
    m_staticPicture = QImage();
    m_staticPictureVisible = false;
    m_host.invalidate(QRect(QPoint(0, 0), m_host.clientSize()), false);
    std::optional<GifDocument::Candidate> candidate = GifDocument::fromBytes(bytes, fileName);
    if (!candidate) return false;
    setAnimationState(true);
    if (m_doc.isOpen() || m_doc.hasFrames()) unloadGif(false);
    m_doc.install(std::move(*candidate));
    m_doc.info().fileName = fileName;
    if (m_doc.frameCount() == 1) showStaticPicture(QImage::fromData(bytes), fileName, false);
    relayout();
    emit propertyChanged(QStringLiteral("gifFileName"));
    return true;
}

bool GifViewCore::showStaticPicture(const QImage& picture, const QString& fileName,
                                    bool replacesGif) {
    // A picture that cannot be shown must not cost the GIF that is shown.
    if (replacesGif && picture.isNull()) return false;
    setAnimationState(true);
    // The frames of an earlier GIF would otherwise be saved as this picture's data.
    if (replacesGif && (m_doc.isOpen() || m_doc.hasFrames())) unloadGif(false);
    GifInfo& info = m_doc.info();
    info.fileName = fileName;
    info.background = 0;
    info.loopCount = -1;
    info.restorePrevious = false;
    info.version = QStringLiteral("      ");
    info.temporaryFile = false;
    if (!m_surface.isNull()) m_surface.fill(colorToRgb(m_backColor));
    m_staticPicture = picture;
    m_staticPictureVisible = true;
    m_host.invalidate(QRect(QPoint(0, 0), m_host.clientSize()), false);
    if (replacesGif) {
        relayout();
        emit propertyChanged(QStringLiteral("gifFileName"));
    }
    return true;
}

void GifViewCore::unloadGif(bool releaseSurfaces) {
    setAnimationState(true);
    m_doc.unload();
    if (releaseSurfaces) {
        m_workSurface = false;
        m_saveUnder = QImage();
        removeCustomBackground();
    }
    // What was drawn of the GIF goes with it.
    if (!m_surface.isNull()) m_surface.fill(colorToRgb(m_backColor));
    m_host.invalidate(QRect(QPoint(0, 0), m_host.clientSize()), true);
}

QString GifViewCore::gifFileName() const {
    const QString& name = m_doc.info().fileName;
    return name.isEmpty() ? QStringLiteral("{none}") : name;
}

void GifViewCore::setgifFileName(const QString& name) {
    if (name.isEmpty())
        unloadGif(false);
    else
        loadGif(name);
}

void GifViewCore::setAutoSize(bool value) {
    if (value == m_autoSize) return;
    m_autoSize = value;
    m_stretch = 0;
    if (m_doc.hasFrames()) relayout();
}

void GifViewCore::setBackColor(qint32 value) {
    m_backColor = value;
    m_surfaceBackColor = value;
    // A new background colour clears the surface, so an empty control shows it at once.
    if (!m_surface.isNull()) m_surface.fill(colorToRgb(value));
    m_host.invalidate(QRect(QPoint(0, 0), m_host.clientSize()), true);
    showFrame(1);
}

void GifViewCore::setStretch(int value) {
    if (value < 0 || value > 2 || value == m_stretch) return;
    m_stretch = value;
    relayout();
}

void GifViewCore::setStretchMethod(int value) {
    if (value != 0 && value != 1) return;
    m_stretchMethod = value;
    relayout();
}

void GifViewCore::setBorderStyle(int value) {
    if (value < 0 || value > 3 || value == m_borderStyle) return;
    m_borderStyle = value;
    m_host.applyBorderStyle(value);
    relayout();
}

int GifViewCore::borderWidth() const {
    return m_host.outerSize().width() - m_host.clientSize().width();
}

int GifViewCore::borderHeight() const {
    return m_host.outerSize().height() - m_host.clientSize().height();
}

void GifViewCore::fitSurface() {
    const QSize client = m_host.clientSize().expandedTo(QSize(0, 0));
    if (m_surface.size() == client) return;
    // The surface keeps what was drawn on it; new area shows the background colour.
    QImage grown(client, QImage::Format_RGB32);
    grown.fill(colorToRgb(m_surfaceBackColor));
    if (!m_surface.isNull()) {
        for (int y = 0; y < std::min(grown.height(), m_surface.height()); ++y)
            std::memcpy(grown.scanLine(y), m_surface.constScanLine(y),
                        static_cast<std::size_t>(std::min(grown.width(), m_surface.width())) * 4);
    }
    m_surface = grown;
}

void GifViewCore::relayout() {
    fitSurface();
    m_host.invalidate(QRect(QPoint(0, 0), m_host.clientSize()), false);
    if (!m_doc.hasFrames()) return;
    if (m_autoSize) {
        // A file names its own screen size, up to 32767 square; the control grows no further
        // than any screen shows rather than holding gigabytes of surface for a tiny file.
        const QSize wanted(std::min(gifLogicalWindowCx(), kMaxAutoSize) + borderWidth(),
                           std::min(gifLogicalWindowCy(), kMaxAutoSize) + borderHeight());
        // Asked once; a host that keeps another size (a layout, a window manager) gets the
        // GIF drawn at that size instead of an endless round of requests.
        if (m_host.outerSize() != wanted && m_askedOuterSize != wanted) {
            m_askedOuterSize = wanted;
            m_host.setOuterSize(wanted);
            return;
        }
        m_askedOuterSize = QSize();
    }
    updateScale();
    prepareSurfaces(false, false);
    showFrame(1);
}

void GifViewCore::updateScale() {
    if (m_autoSize || m_stretch == 0) {
        m_scaleX = m_scaleY = 1.0f;
        return;
    }
    const int lw = gifLogicalWindowCx(), lh = gifLogicalWindowCy();
    if (lw == 0 || lh == 0) return;
    const QSize client = m_host.clientSize();
    float sx = static_cast<float>(client.width()) / static_cast<float>(lw);
    float sy = static_cast<float>(client.height()) / static_cast<float>(lh);
    if (m_stretch == 1) sx = sy = std::min(sx, sy);
    m_scaleX = sx;
    m_scaleY = sy;
}

void GifViewCore::fitLogicalScreen(int& width, int& height, bool& flag, qint32& border) const {
    const int lw = gifLogicalWindowCx(), lh = gifLogicalWindowCy();
    if (lw == 0 || lh == 0) return;
    flag = width >= lw && height >= lh;
    const double r = std::min(static_cast<double>(width) / lw, static_cast<double>(height) / lh);
    width = roundHalfEven(r * lw);
    height = roundHalfEven(r * lh);
    border = borderWidth();
}
