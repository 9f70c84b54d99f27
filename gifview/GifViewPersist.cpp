// Saving the view to its host's property bag and restoring it, with an embedded copy of the
// GIF file that is written back as a temporary file on restore.

#include "gifview/GifViewCore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

const QVariant kNoDefault;

QVariant int16(int v) {
    return QVariant::fromValue(static_cast<qint16>(v));
}

}  // namespace

void GifViewCore::writeProperties(platform::PropertyBag& bag) {
    bag.writeProperty(QStringLiteral("nrLoops"), int16(gifMaxLoops()), int16(0));
    bag.writeProperty(QStringLiteral("autoSize"), m_autoSize, true);
    bag.writeProperty(QStringLiteral("bkColor"), m_backColor, kButtonFace);
    bag.writeProperty(QStringLiteral("minDelay"), int16(m_minDelay), int16(50));
    bag.writeProperty(QStringLiteral("scaleFactor"), int16(m_stretch), int16(0));
    bag.writeProperty(QStringLiteral("scaleMode"), int16(m_stretchMethod), int16(0));
    bag.writeProperty(QStringLiteral("animate"), static_cast<qint32>(m_tag.size()), qint32(0));
    bag.writeProperty(QStringLiteral("gifFileName"), m_doc.info().fileName, QString());
    bag.writeProperty(QStringLiteral("Stretch"), int16(m_stretch), int16(0));
    if (!m_doc.isOpen()) {
        bag.writeProperty(QStringLiteral("fileLen"), qint32(0), kNoDefault);
        return;
    }
    bool ok = false;
    const QByteArray bytes = m_doc.fileBytes(&ok);
    bag.writeProperty(QStringLiteral("fileLen"), static_cast<qint32>(bytes.size() - 1), kNoDefault);
    if (ok && !bytes.isEmpty())
        bag.writeProperty(QStringLiteral("fileData"), bytes, kNoDefault);
    else
        bag.writeProperty(QStringLiteral("fileLen"), qint32(0), kNoDefault);
}

void GifViewCore::readProperties(const platform::PropertyBag& bag) {
    setStretch(bag.readProperty(QStringLiteral("Stretch"), 0).toInt());
    setgifFileName(bag.readProperty(QStringLiteral("gifFileName"), QString()).toString());

    const qint64 fileLen = bag.readProperty(QStringLiteral("fileLen"), 0).toLongLong();
    if (fileLen > 0) {
        const QByteArray data = bag.readProperty(QStringLiteral("fileData"), QByteArray())
                                    .toByteArray()
                                    .left(fileLen + 1);
        const QString name = temporaryGifName();
        QFile file(name);
        bool written = !data.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        written = written && file.write(data) == data.size();
        file.close();
        if (written && loadGif(name))
            m_doc.info().temporaryFile = true;
        else
            QFile::remove(name);  // a copy nobody loaded would never be deleted
    }

    m_doc.info().loopCount = bag.readProperty(QStringLiteral("nrLoops"), 0).toInt();
    m_autoSize = bag.readProperty(QStringLiteral("autoSize"), true).toBool();
    m_backColor =
        static_cast<qint32>(bag.readProperty(QStringLiteral("bkColor"), kButtonFace).toLongLong());
    // Below 5 ms a GIF of zero delays would keep the timer firing without pause.
    m_minDelay = std::max(5, bag.readProperty(QStringLiteral("minDelay"), 50).toInt());
    m_stretch = bag.readProperty(QStringLiteral("scaleFactor"), 0).toInt();
    m_stretchMethod = bag.readProperty(QStringLiteral("scaleMode"), 0).toInt();
    setAnimate(bag.readProperty(QStringLiteral("animate"), false).toBool());
}

QString GifViewCore::temporaryGifName() const {
    QString folder = m_applicationFolder;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    QString name = folder + QStringLiteral("~tLV(0).gif");
    for (int n = 1; QFileInfo::exists(name); ++n)
        name = folder + QStringLiteral("~tLV(%1).gif").arg(n);
    return name;
}
