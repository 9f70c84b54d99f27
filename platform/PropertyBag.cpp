#include "platform/PropertyBag.h"

#include <QFont>
#include <QJsonDocument>

namespace platform {

PropertyBag PropertyBag::fromJson(const QByteArray& json) {
    return PropertyBag(QJsonDocument::fromJson(json).object());
}

QVariant PropertyBag::readProperty(const QString& key, const QVariant& defaultValue) const {
    auto it = m_values.constFind(key);
    if (it == m_values.constEnd()) {
        // The design files were written by hand, so a key's letter case may differ.
        for (it = m_values.constBegin(); it != m_values.constEnd(); ++it)
            if (it.key().compare(key, Qt::CaseInsensitive) == 0) break;
        if (it == m_values.constEnd()) return defaultValue;
    }
    const QJsonValue v = it.value();
    if (v.isObject()) {
        const QJsonObject inner = v.toObject();
        if (inner.contains(QLatin1String("font"))) {
            QFont f;
            if (f.fromString(inner.value(QLatin1String("font")).toString()))
                return QVariant::fromValue(f);
        } else if (inner.contains(QLatin1String("bytes"))) {
            return QByteArray::fromBase64(
                inner.value(QLatin1String("bytes")).toString().toLatin1());
        }
        return defaultValue;
    }
    // Whole numbers come back as integers, so colours keep every bit of their value.
    if (v.isDouble() && v.toDouble() == static_cast<double>(v.toInteger()))
        return QVariant::fromValue(v.toInteger());
    if (v.isBool() || v.isDouble() || v.isString()) return v.toVariant();
    return defaultValue;
}

}  // namespace platform
