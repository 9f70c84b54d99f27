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

// The platform's operations, with the n-th rename, removal or rewrite failing.
class FailingFiles : public ForwardingFiles {
public:
    explicit FailingFiles(platform::TrashPlaces trash = {})
        : ForwardingFiles(real), real(std::move(trash)) {}
    bool rename(const QString& from, const QString& to) override {
        return --renamesLeft != 0 && real.rename(from, to);
    }
    bool remove(const QString& p) override { return --removesLeft != 0 && real.remove(p); }
    bool restore(const QString& p) override { return real.restore(p); }
    bool replaceContent(const QString& p, const QByteArray& bytes) override {
        return --rewritesLeft != 0 && real.replaceContent(p, bytes);
    }
    int renamesLeft = -1, removesLeft = -1, rewritesLeft = -1;
    platform::LocalFileOperations real;
};

}  // namespace fakes
