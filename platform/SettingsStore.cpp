#include "platform/SettingsStore.h"

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
    return v.isValid() ? v.toString() : defaultValue;
}

void IniSettingsStore::saveSetting(const QString& app, const QString& section, const QString& key,
                                   const QString& value) {
    if (section.isEmpty()) return;  // a value without a section would land in [General]
    QSettings s(fileFor(app), QSettings::IniFormat);
    s.beginGroup(section);
    s.setValue(key, value);
    s.endGroup();
    s.sync();
}

}  // namespace platform
