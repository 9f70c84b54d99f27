#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

namespace platform {

// Named values with defaults, as the controls save and restore their design state.
// Writing a value equal to its default stores nothing (and removes nothing), so a key that
// is written twice with two defaults ends up stored at most once. Reading a key that is
// not stored yields the default. Keys keep the order in which they were first stored.
class PropertyBag {
public:
    QVariant readProperty(const QString& key, const QVariant& defaultValue) const;
    void writeProperty(const QString& key, const QVariant& value, const QVariant& defaultValue);

    bool contains(const QString& key) const;
    QStringList keys() const;
    void clear();

    // A JSON object: strings, numbers, booleans; fonts as their QFont::toString text under
    // {"font": "..."}, byte arrays as {"bytes": "<base64>"}. Unknown shapes are skipped.
    QByteArray toJson() const;
    static PropertyBag fromJson(const QByteArray& json);

private:
    QList<QPair<QString, QVariant>> m_values;
};

}  // namespace platform
