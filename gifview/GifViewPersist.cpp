// Restoring the view from its design values, with an embedded copy of the GIF file that is
// written back as a temporary file.

#include "gifview/GifViewCore.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

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
