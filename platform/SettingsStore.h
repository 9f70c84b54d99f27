#pragma once

#include <QString>

namespace platform {

// Text values addressed by application, section and key, kept between runs.
// Reading a missing value yields the caller's default.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString getSetting(const QString& app, const QString& section, const QString& key,
                               const QString& defaultValue) const = 0;
    virtual void saveSetting(const QString& app, const QString& section, const QString& key,
                             const QString& value) = 0;
};

// INI files, one per application: <folder>/<app>/<app>.conf, one group per section.
// Every save is synced at once so a crash or a killed session loses nothing.
class IniSettingsStore final : public SettingsStore {
public:
    // folder: the per-user configuration folder (tests pass a temporary one).
    explicit IniSettingsStore(QString folder);
    static QString defaultFolder();  // ~/.config (XDG_CONFIG_HOME)

    QString fileFor(const QString& app) const;
    QString getSetting(const QString& app, const QString& section, const QString& key,
                       const QString& defaultValue) const override;
    void saveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override;

private:
    QString m_folder;
};

}  // namespace platform
