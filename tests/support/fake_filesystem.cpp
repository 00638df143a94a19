#include "support/fake_filesystem.h"

#include <algorithm>
#include <cerrno>
#include <memory>

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

std::optional<int> FakeIconList::addIconImage(const std::string& bytes, std::function<void()>)
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

namespace tessaly::test {

namespace {

std::string textOf(const ItemRef& item)
{
    return item.isStream() ? item.file + ":" + item.stream : item.file;
}

// GeneratedByte for positions from..from+n, served from one repeating pattern.
const char* generatedRun(std::uint64_t from, std::size_t& n)
{
    constexpr std::size_t Period = 23, Run = std::size_t(1) << 16;
    static const std::string pattern = [] {
        std::string p(Run + Period, '\0');
        for (std::size_t i = 0; i < p.size(); ++i)
            p[i] = FakeFileSystem::GeneratedByte(i);
        return p;
    }();
    n = std::min(n, Run);
    return pattern.data() + from % Period;
}

class FakeReader final : public ItemReader {
public:
    FakeReader(FakeFileSystem& fs, std::string data, std::uint64_t generatedSize, bool isGenerated)
        : fs_(fs), data_(std::move(data)), size_(isGenerated ? generatedSize : data_.size()), generated_(isGenerated)
    {
    }
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        const std::size_t n = std::size_t(std::min<std::uint64_t>({size, fs_.readPiece, size_ - offset_}));
        if (!generated_) {
            std::copy_n(data_.data() + offset_, n, buffer);
        } else {
            for (std::size_t done = 0; done < n;) {
                std::size_t run = n - done;
                const char* from = generatedRun(offset_ + done, run);
                std::copy_n(from, run, buffer + done);
                done += run;
            }
        }
        offset_ += n;
        return n;
    }

private:
    FakeFileSystem& fs_;
    std::string data_;
    std::uint64_t size_;
    bool generated_;
    std::uint64_t offset_ = 0;
};

class FakeWriter final : public ItemWriter {
public:
    FakeWriter(FakeFileSystem& fs, ItemRef item) : fs_(fs), item_(std::move(item)) {}
    std::optional<SysError> write(std::string_view data) override
    {
        fs_.largestWrite = std::max(fs_.largestWrite, data.size());
        if (data.size() > fs_.writeBudget) {
            fs_.writeBudget = 0;
            return SysError{ENOSPC, "No space left on device"};
        }
        fs_.writeBudget -= data.size();
        auto counted = fs_.counted.find(textOf(item_));
        if (counted == fs_.counted.end()) {
            data_.append(data);
            return std::nullopt;
        }
        while (!data.empty()) {
            std::size_t run = data.size();
            const char* expected = generatedRun(counted->second, run);
            if (data.compare(0, run, expected, run) != 0)
                fs_.countedMismatch.insert(counted->first);
            counted->second += run;
            data.remove_prefix(run);
        }
        return std::nullopt;
    }
    std::optional<SysError> finish() override
    {
        if (fs_.counted.count(textOf(item_)))
            return std::nullopt;
        if (item_.isStream() && data_.size() > fs_.maxStreamSize)
            return SysError{E2BIG, "Argument list too long"};
        return fs_.writeItem(item_, data_);
    }

private:
    FakeFileSystem& fs_;
    ItemRef item_;
    std::string data_;
};

class FakePending final : public PendingFile {
public:
    FakePending(FakeFileSystem& fs, std::string target)
        : fs_(fs), target_(std::move(target)), path_(target_ + ".pending")
    {
        fs_.files[path_] = {};
    }
    ~FakePending() override { fs_.files.erase(path_); }
    const std::string& path() const override { return path_; }
    std::optional<SysError> commit() override
    {
        if (fs_.failCommit)
            return SysError{EXDEV, "Invalid cross-device link"};
        fs_.files[target_] = std::move(fs_.files[path_]);
        return std::nullopt;
    }

private:
    FakeFileSystem& fs_;
    std::string target_;
    std::string path_;
};

}  // namespace

Expected<std::unique_ptr<ItemReader>> FakeFileSystem::openRead(const ItemRef& item)
{
    const std::string text = textOf(item);
    opened.push_back("r " + text);
    if (auto f = failOpenRead.find(text); f != failOpenRead.end())
        return f->second;
    if (auto g = generated.find(text); g != generated.end())
        return std::unique_ptr<ItemReader>(std::make_unique<FakeReader>(*this, std::string(), g->second, true));
    auto data = readItem(item);
    if (!data.ok())
        return data.error();
    return std::unique_ptr<ItemReader>(std::make_unique<FakeReader>(*this, std::move(data.value()), 0, false));
}

Expected<std::unique_ptr<ItemWriter>> FakeFileSystem::openWrite(const ItemRef& item)
{
    const std::string text = textOf(item);
    opened.push_back("w " + text);
    if (auto f = failOpenWrite.find(text); f != failOpenWrite.end())
        return f->second;
    return std::unique_ptr<ItemWriter>(std::make_unique<FakeWriter>(*this, item));
}

Expected<std::unique_ptr<PendingFile>> FakeFileSystem::createPending(const std::string& target)
{
    opened.push_back("p " + target);
    if (auto f = failOpenWrite.find(target); f != failOpenWrite.end())
        return f->second;
    return std::unique_ptr<PendingFile>(std::make_unique<FakePending>(*this, target));
}

}  // namespace tessaly::test
