#pragma once

#include <QString>
#include <QStringList>

#include <functional>

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
// Every save is synced at once so a crash or a killed session loses nothing. Only a regular
// file (or none yet) is read or written: anything else (a FIFO would hang the first read
// for good) reads as defaults and is never written through.
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

    // Settings that cannot be read or saved (a full or read-only disk, a settings file
    // that is not a regular file): why, once a run for each kind. A problem met before the
    // handler is set is handed to it when it is set.
    void setProblemHandler(std::function<void(const QString& text)> handler);

private:
    enum Problem { kNotRegular, kNotSaved, kProblemKinds };
    bool isUsable(const QString& file) const;
    void tell(Problem kind, const QString& text) const;

    QString m_folder;
    std::function<void(const QString&)> m_problemHandler;
    mutable bool m_told[kProblemKinds] = {};
    mutable QStringList m_untold;
};

}  // namespace platform
