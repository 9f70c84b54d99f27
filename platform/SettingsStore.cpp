#include "platform/SettingsStore.h"

#include "platform/FileNames.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

IniSettingsStore::IniSettingsStore(QString folder) : m_folder(std::move(folder)) {}

IniSettingsStore::~IniSettingsStore() {
    // Told from here only to a handler that outlives the store; the window's is gone.
    m_problemHandler = nullptr;
    sync();
}

QString IniSettingsStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString IniSettingsStore::fileFor(const QString& app) const {
    return QDir(m_folder).filePath(app + QLatin1Char('/') + app + QStringLiteral(".conf"));
}

void IniSettingsStore::setProblemHandler(std::function<void(const QString&)> handler) {
    m_problemHandler = std::move(handler);
    if (!m_problemHandler) return;
    for (const QString& text : std::exchange(m_untold, QStringList()))
        m_problemHandler(text);
}

void IniSettingsStore::tell(Problem kind, const QString& text) const {
    if (std::exchange(m_told[kind], true)) return;
    if (m_problemHandler)
        m_problemHandler(text);
    else
        m_untold.append(text);
}

// Checked with stat() alone: QSettings reads the whole file as soon as it is made.
bool IniSettingsStore::isUsable(const QString& file) const {
    struct stat st;
    if (::stat(encodeName(file).constData(), &st) != 0 || S_ISREG(st.st_mode)) return true;
    tell(kNotRegular,
         file + QStringLiteral(" is not a regular file: the settings are not read from it, "
                               "and changes to them are not saved."));
    return false;
}

QSettings* IniSettingsStore::settingsOf(const QString& app) const {
    const QString file = fileFor(app);
    auto it = m_files.find(file);
    if (it == m_files.end()) {
        std::unique_ptr<QSettings> settings;
        if (isUsable(file)) settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
        it = m_files.emplace(file, std::move(settings)).first;
    }
    return it->second.get();
}

QString IniSettingsStore::getSetting(const QString& app, const QString& section, const QString& key,
                                     const QString& defaultValue) const {
    QSettings* s = settingsOf(app);
    if (!s) return defaultValue;
    const QVariant v = s->value(section + QLatin1Char('/') + key);
    if (!v.isValid()) return defaultValue;
    return v.typeId() == QMetaType::QByteArray ? decodeName(v.toByteArray()) : v.toString();
}

void IniSettingsStore::saveSetting(const QString& app, const QString& section, const QString& key,
                                   const QString& value) {
    if (section.isEmpty()) return;  // a value without a section would land in [General]
    QSettings* s = settingsOf(app);
    if (!s) return;
    // A path holding bytes that are not valid UTF-8 would be written as U+FFFD and come back
    // as another path; such a value is kept as its bytes.
    const QString path = section + QLatin1Char('/') + key;
    const QByteArray bytes = encodeName(value);
    if (bytes != value.toUtf8())
        s->setValue(path, bytes);
    else
        s->setValue(path, value);
    // Written once the event loop is back, so that the file follows within moments and a
    // failure is said while the window is there to say it.
    if (m_syncPending || !QAbstractEventDispatcher::instance()) return;
    m_syncPending = true;
    QTimer::singleShot(0, &m_syncContext, [this] { sync(); });
}

bool IniSettingsStore::sync() {
    m_syncPending = false;
    bool ok = true;
    for (auto& [file, settings] : m_files)
        if (settings && !syncFile(file, *settings)) ok = false;
    return ok;
}

bool IniSettingsStore::syncFile(const QString& file, QSettings& s) {
    // Syncing reads the file again; one that has become a FIFO meanwhile must not be.
    if (!isUsable(file)) return false;
    s.sync();
    if (s.status() == QSettings::NoError) return true;
    // QSettings says only that it failed; the file or its folder says why, else the disk
    // is full.
    const QByteArray name = encodeName(file);
    const QByteArray folder = encodeName(QFileInfo(file).absolutePath());
    QString why = QStringLiteral("the disk may be full");
    if (::access(name.constData(), F_OK) == 0 && ::access(name.constData(), W_OK) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    else if (::access(folder.constData(), W_OK | X_OK) != 0)
        why = decodeName(folder) + QStringLiteral(": ") +
              QString::fromLocal8Bit(std::strerror(errno));
    tell(kNotSaved, QStringLiteral("Settings cannot be saved to ") + file + QStringLiteral(" (") +
                        why + QStringLiteral(")."));
    return false;
}

}  // namespace platform
