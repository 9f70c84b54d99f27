#pragma once

#include <QString>
#include <QStringList>

#include <QObject>

#include <functional>
#include <map>
#include <memory>

class QSettings;

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
    // Writes what was saved and is not written yet. False when it could not be written.
    virtual bool sync() { return true; }
};

// INI files, one per application: <folder>/<app>/<app>.conf, one group per section.
// Each file is read once and kept; changes reach it on sync(), when the store closes, and,
// on a thread with an event loop, once the loop is back from the calls that made them, so
// a burst of changes is one write and a crash soon after loses nothing. Only a regular
// file (or none yet) is read or written: anything else (a FIFO would hang the first read
// for good) reads as defaults and is never written through.
class IniSettingsStore final : public SettingsStore {
public:
    // folder: the per-user configuration folder (tests pass a temporary one).
    explicit IniSettingsStore(QString folder);
    ~IniSettingsStore() override;
    static QString defaultFolder();  // ~/.config (XDG_CONFIG_HOME)

    QString fileFor(const QString& app) const;
    QString getSetting(const QString& app, const QString& section, const QString& key,
                       const QString& defaultValue) const override;
    void saveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override;
    // Writes the changes not yet written, and reads what another process wrote meanwhile.
    // False when a file could not be written (said to the problem handler).
    bool sync() override;

    // Settings that cannot be read or saved (a full or read-only disk, a settings file
    // that is not a regular file): why, once a run for each kind. A problem met before the
    // handler is set is handed to it when it is set.
    void setProblemHandler(std::function<void(const QString& text)> handler);

private:
    enum Problem { kNotRegular, kNotSaved, kProblemKinds };
    bool isUsable(const QString& file) const;
    void tell(Problem kind, const QString& text) const;
    // The kept settings of `app`'s file; null when the file is not a regular one.
    QSettings* settingsOf(const QString& app) const;
    bool syncFile(const QString& file, QSettings& settings);

    QString m_folder;
    mutable std::map<QString, std::unique_ptr<QSettings>> m_files;  // by file; null: unusable
    QObject m_syncContext;  // the pending sync goes with the store
    bool m_syncPending = false;
    std::function<void(const QString&)> m_problemHandler;
    mutable bool m_told[kProblemKinds] = {};
    mutable QStringList m_untold;
};

}  // namespace platform
