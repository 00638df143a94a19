#pragma once
// An in-memory file system for core tests: files with data and ordered named streams, and a
// recording log sink.

#include <map>
#include <string>
#include <vector>

#include "app/oplog.h"
#include "platform/system.h"
#include "streams/icons.h"

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

    std::map<std::string, File> files;
    std::map<std::string, std::uint64_t> sizeOverride;  // to pretend huge files
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
    std::optional<int> addIconImage(const std::string& bytes) override;
    int addEmpty() override;
    std::vector<std::string> entries;  // "ext:.jpg", "ico", "empty"
};

}  // namespace tessaly::test
