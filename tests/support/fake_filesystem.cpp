#include "support/fake_filesystem.h"

#include <cerrno>

namespace tessaly::test {

void FakeFileSystem::addStream(const std::string& path, const std::string& name, std::string value)
{
    auto& streams = files[path].streams;
    for (auto& s : streams)
        if (s.first == name) {
            s.second = std::move(value);
            return;
        }
    streams.emplace_back(name, std::move(value));
}

std::vector<StreamInfo> FakeFileSystem::listStreams(const std::string& path)
{
    std::vector<StreamInfo> out;
    auto it = files.find(path);
    if (it != files.end())
        for (const auto& s : it->second.streams)
            out.push_back({s.first, s.second.size()});
    return out;
}

std::uint64_t FakeFileSystem::fileSizeOf(const std::string& path)
{
    if (auto o = sizeOverride.find(path); o != sizeOverride.end())
        return o->second;
    auto it = files.find(path);
    return it == files.end() ? 0 : it->second.data.size();
}

bool FakeFileSystem::streamExists(const std::string& file, const std::string& stream)
{
    auto it = files.find(file);
    if (it == files.end())
        return false;
    for (const auto& s : it->second.streams)
        if (s.first == stream)
            return true;
    return false;
}

Expected<std::string> FakeFileSystem::readItem(const ItemRef& item)
{
    auto it = files.find(item.file);
    if (it == files.end())
        return SysError{ENOENT, "No such file or directory"};
    if (!item.isStream())
        return it->second.data;
    for (const auto& s : it->second.streams)
        if (s.first == item.stream)
            return s.second;
    return SysError{ENODATA, "No data available"};
}

std::optional<SysError> FakeFileSystem::writeItem(const ItemRef& item, std::string_view data)
{
    if (!item.isStream()) {
        files[item.file].data = std::string(data);
        return std::nullopt;
    }
    if (!files.count(item.file))
        return SysError{ENOENT, "No such file or directory"};
    addStream(item.file, item.stream, std::string(data));
    return std::nullopt;
}

std::vector<std::string> RecordingSink::bodies() const
{
    std::vector<std::string> out;
    for (const auto& l : lines)
        out.push_back(l.size() >= 20 ? l.substr(20) : l);
    return out;
}

int FakeIconList::addForExtension(const std::string& extension)
{
    entries.push_back("ext:" + extension);
    return count() - 1;
}

std::optional<int> FakeIconList::addIconImage(const std::string& bytes)
{
    if (bytes.rfind("ICO", 0) != 0)
        return std::nullopt;
    entries.push_back("ico");
    return count() - 1;
}

int FakeIconList::addEmpty()
{
    entries.push_back("empty");
    return count() - 1;
}

}  // namespace tessaly::test
