#pragma once

// File operations handed on to other ones (the platform's own unless told), so that a test
// overrides only the operation it makes go wrong or wait.

#include "platform/FileOperations.h"

namespace fakes {

class ForwardingFiles : public platform::FileOperations {
public:
    ForwardingFiles() : m_files(m_local) {}
    explicit ForwardingFiles(platform::FileOperations& files) : m_files(files) {}
    std::optional<QString> resolve(const QString& p) override { return m_files.resolve(p); }
    std::optional<qint64> fileSize(const QString& p) override { return m_files.fileSize(p); }
    std::optional<QDateTime> fileDate(const QString& p) override { return m_files.fileDate(p); }
    bool rename(const QString& from, const QString& to) override {
        return m_files.rename(from, to);
    }
    bool remove(const QString& path) override { return m_files.remove(path); }
    QString lastError() const override { return m_files.lastError(); }

private:
    platform::LocalFileOperations m_local;
    platform::FileOperations& m_files;
};

}  // namespace fakes
