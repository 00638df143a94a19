#pragma once
// An in-memory file system for core tests: files with data and ordered named streams, and a
// recording log sink.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/icons.h"
#include "common/oplog.h"
#include "platform/system.h"

namespace tessaly::test {

class FakeFileSystem final : public FileSystem {
public:
    struct File {
        std::string data;
        std::vector<std::pair<std::string, std::string>> streams;  // in system order
    };

    File& add(const std::string& path, std::string data = {}) { return files[path] = File{std::move(data), {}}; }
    void addStream(const std::string& path, const std::string& name, std::string value);

    std::vector<StreamInfo> listStreams(const std::string& path) override;
    std::uint64_t fileSizeOf(const std::string& path) override;
    bool pathExists(const std::string& path) override { return files.count(path) > 0; }
    bool streamExists(const std::string& file, const std::string& stream) override;
    Expected<std::string> readItem(const ItemRef& item) override;
    std::optional<SysError> writeItem(const ItemRef& item, std::string_view data) override;

    // Piecewise access behaves like the real layer: a plain-file target changes only when its
    // writer finishes, a new file from createPending appears only on commit.
    Expected<std::unique_ptr<ItemReader>> openRead(const ItemRef& item) override;
    Expected<std::unique_ptr<ItemWriter>> openWrite(const ItemRef& item) override;
    Expected<std::unique_ptr<PendingFile>> createPending(const std::string& target) override;

    std::map<std::string, File> files;
    std::map<std::string, std::uint64_t> sizeOverride;  // to pretend huge files

    // Made-up content: an item of this many bytes whose byte i is GeneratedByte(i), never held whole.
    std::map<std::string, std::uint64_t> generated;  // item text -> size
    static char GeneratedByte(std::uint64_t i) { return char('a' + i % 23); }
    // Targets whose bytes are only counted and checked against GeneratedByte, never kept.
    std::map<std::string, std::uint64_t> counted;  // item text -> bytes received in order
    std::set<std::string> countedMismatch;         // counted targets that received a wrong byte

    // Faults to inject.
    std::map<std::string, SysError> failOpenRead;   // item text -> error of openRead
    std::map<std::string, SysError> failOpenWrite;  // item text -> error of openWrite
    std::uint64_t writeBudget = std::numeric_limits<std::uint64_t>::max();  // then ENOSPC
    std::size_t maxStreamSize = std::numeric_limits<std::size_t>::max();     // larger: E2BIG at finish
    bool failCommit = false;
    std::size_t readPiece = std::numeric_limits<std::size_t>::max();  // most bytes one read returns

    // What was seen.
    std::size_t largestWrite = 0;
    std::vector<std::string> opened;  // "r <text>", "w <text>", "p <target>", in order
};

// Keeps every line; stamp-free views for comparisons.
class RecordingSink final : public LogSink {
public:
    void appendLine(const std::string& line) override { lines.push_back(line); }
    // The lines without their 20-character timestamps.
    std::vector<std::string> bodies() const;
    std::vector<std::string> lines;
};

// Records what was asked of an image list; ".ico" content is accepted when it starts with "ICO".
class FakeIconList final : public IconList {
public:
    void clear() override { entries.clear(); }
    int count() const override { return int(entries.size()); }
    int addForExtension(const std::string& extension) override;
    std::optional<int> addIconImage(const std::string& bytes, std::function<void()> undecodable) override;
    int addEmpty() override;
    std::vector<std::string> entries;  // "ext:.jpg", "ico", "empty"
};

}  // namespace tessaly::test
