#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>

namespace platform {

// The design values the controls start from, read from a JSON object: strings, numbers,
// booleans; fonts as their QFont::toString text under {"font": "..."}, byte arrays as
// {"bytes": "<base64>"}. Keys are found without regard to letter case; a key that is not
// stored, or is stored in another shape, reads as the default.
class PropertyBag {
public:
    PropertyBag() = default;
    explicit PropertyBag(QJsonObject values) : m_values(std::move(values)) {}
    // Text that is not a JSON object reads as an empty bag.
    static PropertyBag fromJson(const QByteArray& json);

    QVariant readProperty(const QString& key, const QVariant& defaultValue) const;

private:
    QJsonObject m_values;
};

}  // namespace platform
