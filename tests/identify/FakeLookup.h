#pragma once

// A checksum index in memory, by (size, CRC-32), with a generation moved on at each change.

#include "identify/Identification.h"

#include "support/ZipBuilder.h"

#include <QCryptographicHash>

#include <map>
#include <utility>

class FakeLookup final : public identify::ChecksumLookup {
public:
    std::vector<identify::RomEntry> entries(qint64 size, quint32 crc) override {
        const auto it = m_entries.find({size, crc});
        return it == m_entries.end() ? std::vector<identify::RomEntry>() : it->second;
    }
    qint64 generation() override { return m_generation; }

    // An entry for `data` (its size and CRC), with the SHA-1 given (empty: none).
    identify::RomEntry& add(const QByteArray& data, const QString& software, QByteArray sha1,
                            identify::DumpStatus status = identify::DumpStatus::Good) {
        identify::RomEntry e;
        e.id = ++m_lastId;
        e.source = QStringLiteral("a2600");
        e.software = software;
        e.romName = software + QStringLiteral(".bin");
        e.size = data.size();
        e.crc = zipbuild::crcOf(data);
        e.sha1 = std::move(sha1);
        e.status = status;
        ++m_generation;
        auto& list = m_entries[{e.size, e.crc}];
        list.push_back(e);
        return list.back();
    }
    void clear() {
        m_entries.clear();
        ++m_generation;
    }

private:
    std::map<std::pair<qint64, quint32>, std::vector<identify::RomEntry>> m_entries;
    qint64 m_generation = 1;
    qint64 m_lastId = 0;
};

inline QByteArray sha1Of(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha1);
}
