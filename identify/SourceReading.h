#pragma once

// Reading the checksum sources for the index: which files a source path stands for, and
// the reading thread's side of the hand-over to the thread that stores them.

#include "identify/DatReader.h"
#include "platform/FileNames.h"

#include <QByteArrayView>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace identify {

struct SourceFile {
    QString path;
    platform::RegularFile stat;
};

// Every *.xml and *.dat directly inside a folder, by name; a file as itself; nothing for
// a name that is not there. Special files are never read.
void collect(const QString& path, std::vector<SourceFile>& files);

// The sources are read on a thread of their own and stored on the caller's, the two
// working at once: reading alone takes about as long as writing alone.
//
// ROMs cross in blocks that go back and forth: a block's buffers keep their room, so once
// the first few are made nothing is allocated per ROM, and nothing made on one thread is
// freed on the other (which took the allocator's lock on every ROM).
struct Block {
    // A place in `bytes`: the UTF-8 texts, each as the reader handed it over.
    struct Text {
        quint32 at = 0;
        quint32 size = 0;
    };
    struct Rom {
        Text software, description, year, publisher, name, sha1;  // sha1: empty or 20 bytes
        qint64 size = 0;
        quint32 crc = 0;
        DumpStatus status = DumpStatus::Good;
    };
    std::string bytes;
    std::vector<Rom> roms;
    bool last = false;   // the source's last block, with its summary
    bool opened = true;  // false: the source could not be opened
    DatSummary summary;

    Text add(QByteArrayView text) {
        const Text t{quint32(bytes.size()), quint32(text.size())};
        bytes.append(text.data(), size_t(text.size()));
        return t;
    }
    QByteArrayView view(Text t) const {
        return QByteArrayView(bytes.data() + t.at, qsizetype(t.size));
    }
    void clear() {
        bytes.clear();
        roms.clear();
        last = false;
        opened = true;
        summary = DatSummary();
    }
};

class Pipe {
public:
    // A block goes once it holds kBlockRoms ROMs or kBlockBytes of text (a field is at most
    // a few KiB, so one ROM never takes it far beyond). At most kMaxBlocks wait.
    static constexpr size_t kBlockRoms = 4096;
    static constexpr size_t kBlockBytes = size_t(1) << 20;
    static constexpr size_t kMaxBlocks = 6;

    // False once cancelled: the reading then stops.
    bool push(Block&& block) {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [&] { return m_cancelled || m_full.size() < kMaxBlocks; });
        if (m_cancelled) return false;
        m_full.push_back(std::move(block));
        m_notEmpty.notify_one();
        return true;
    }
    Block pop() {
        std::unique_lock lock(m_mutex);
        m_notEmpty.wait(lock, [&] { return !m_full.empty(); });
        Block block = std::move(m_full.front());
        m_full.pop_front();
        m_notFull.notify_one();
        return block;
    }
    // A block stored, back for the reader to fill again.
    void giveBack(Block&& block) {
        std::lock_guard lock(m_mutex);
        m_empty.push_back(std::move(block));
    }
    // An empty block, with the room of one given back if there is one.
    Block take() {
        Block block;
        {
            std::lock_guard lock(m_mutex);
            if (!m_empty.empty()) {
                block = std::move(m_empty.back());
                m_empty.pop_back();
            }
        }
        block.clear();
        if (block.roms.capacity() < kBlockRoms) {
            block.roms.reserve(kBlockRoms);
            block.bytes.reserve(kBlockBytes + (size_t(1) << 16));
        }
        return block;
    }
    void cancel() {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_notFull.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_notFull;
    std::condition_variable m_notEmpty;
    std::deque<Block> m_full;
    std::vector<Block> m_empty;
    bool m_cancelled = false;
};

// Reads the files in order into blocks pushed to `pipe`, each file ending with a block
// marked last; returns early once the pipe is cancelled.
void readSources(const std::vector<const SourceFile*>& files, Pipe& pipe);

}  // namespace identify
