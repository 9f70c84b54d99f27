#include "platform/SettingsStore.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace platform {

IniSettingsStore::IniSettingsStore(QString folder) : m_folder(std::move(folder)) {}

QString IniSettingsStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString IniSettingsStore::fileFor(const QString& app) const {
    return QDir(m_folder).filePath(app + QLatin1Char('/') + app + QStringLiteral(".conf"));
}

QString IniSettingsStore::getSetting(const QString& app, const QString& section, const QString& key,
                                     const QString& defaultValue) const {
    QSettings s(fileFor(app), QSettings::IniFormat);
    s.beginGroup(section);
    const QVariant v = s.value(key);
    if (!v.isValid()) return defaultValue;
    return v.typeId() == QMetaType::QByteArray ? decodeName(v.toByteArray()) : v.toString();
}

void IniSettingsStore::saveSetting(const QString& app, const QString& section, const QString& key,
                                   const QString& value) {
    if (section.isEmpty()) return;  // a value without a section would land in [General]
    QSettings s(fileFor(app), QSettings::IniFormat);
    s.beginGroup(section);
    // A path holding bytes that are not valid UTF-8 would be written as U+FFFD and come back
    // as another path; such a value is kept as its bytes.
    const QByteArray bytes = encodeName(value);
    if (bytes != value.toUtf8())
        s.setValue(key, bytes);
    else
        s.setValue(key, value);
    s.endGroup();
    s.sync();
}

}  // namespace platform
