#include "platform/PropertyBag.h"

#include <QFont>
#include <QJsonDocument>
#include <QJsonObject>

namespace platform {

namespace {
bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.typeId() == b.typeId()) return a == b;
    // A 16-bit or 32-bit number against a default written as another integer type.
    bool okA = false, okB = false;
    const qlonglong x = a.toLongLong(&okA), y = b.toLongLong(&okB);
    if (okA && okB && a.typeId() != QMetaType::QString && b.typeId() != QMetaType::QString)
        return x == y;
    return a == b;
}
}  // namespace

QVariant PropertyBag::readProperty(const QString& key, const QVariant& defaultValue) const {
    for (const auto& [k, v] : m_values)
        if (k.compare(key, Qt::CaseInsensitive) == 0) return v;
    return defaultValue;
}

void PropertyBag::writeProperty(const QString& key, const QVariant& value,
                                const QVariant& defaultValue) {
    if (sameValue(value, defaultValue)) return;
    for (auto& [k, v] : m_values) {
        if (k.compare(key, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    }
    m_values.append({key, value});
}

bool PropertyBag::contains(const QString& key) const {
    for (const auto& kv : m_values)
        if (kv.first.compare(key, Qt::CaseInsensitive) == 0) return true;
    return false;
}

QStringList PropertyBag::keys() const {
    QStringList out;
    for (const auto& kv : m_values)
        out.append(kv.first);
    return out;
}

void PropertyBag::clear() {
    m_values.clear();
}

QByteArray PropertyBag::toJson() const {
    QJsonObject o;
    for (const auto& [k, v] : m_values) {
        switch (v.typeId()) {
            case QMetaType::QFont:
                o.insert(k, QJsonObject{{"font", v.value<QFont>().toString()}});
                break;
            case QMetaType::QByteArray:
                o.insert(k,
                         QJsonObject{{"bytes", QString::fromLatin1(v.toByteArray().toBase64())}});
                break;
            default:
                o.insert(k, QJsonValue::fromVariant(v));
        }
    }
    return QJsonDocument(o).toJson();
}

PropertyBag PropertyBag::fromJson(const QByteArray& json) {
    PropertyBag bag;
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    // QJsonObject iterates in key order, not file order; the order of a stored bag
    // carries no meaning for readers, who ask by key.
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QJsonValue v = it.value();
        if (v.isObject()) {
            const QJsonObject inner = v.toObject();
            if (inner.contains("font")) {
                QFont f;
                if (f.fromString(inner.value("font").toString()))
                    bag.m_values.append({it.key(), QVariant::fromValue(f)});
            } else if (inner.contains("bytes")) {
                bag.m_values.append(
                    {it.key(), QByteArray::fromBase64(inner.value("bytes").toString().toLatin1())});
            }
        } else if (v.isBool() || v.isDouble() || v.isString()) {
            QVariant var = v.toVariant();
            if (v.isDouble() && v.toDouble() == static_cast<double>(v.toInteger()))
                var = QVariant::fromValue(v.toInteger());
            bag.m_values.append({it.key(), var});
        }
    }
    return bag;
}

}  // namespace platform
