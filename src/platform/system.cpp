#include "platform/system.h"

#include <algorithm>
#include <cerrno>

#include "streams/path_rules.h"

namespace tessaly {

ErrorKind ErrorKindOfErrno(int code)
{
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return ErrorKind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorKind::AccessDenied;
    default:
        return ErrorKind::Other;
    }
}

ErrorKind ErrorKindOfWindowsError(std::uint32_t code)
{
    // The values of winerror.h, which the core does not include.
    switch (code) {
    case 2:    // ERROR_FILE_NOT_FOUND
    case 3:    // ERROR_PATH_NOT_FOUND
    case 15:   // ERROR_INVALID_DRIVE
    case 53:   // ERROR_BAD_NETPATH
    case 67:   // ERROR_BAD_NET_NAME
    case 123:  // ERROR_INVALID_NAME
    case 161:  // ERROR_BAD_PATHNAME
        return ErrorKind::NotFound;
    case 5:    // ERROR_ACCESS_DENIED
    case 19:   // ERROR_WRITE_PROTECT
    case 32:   // ERROR_SHARING_VIOLATION
    case 33:   // ERROR_LOCK_VIOLATION
    case 1314: // ERROR_PRIVILEGE_NOT_HELD
        return ErrorKind::AccessDenied;
    default:
        return ErrorKind::Other;
    }
}

ItemRef ResolveItemText(FileSystem& fs, const std::string& text)
{
    if (fs.pathExists(text))
        return {text, {}};
    // The stream's colon comes after the last separator and after the root (not "C:"'s colon).
    const auto colon = text.rfind(':');
    if (colon != std::string::npos && colon == LastNameDelimiter(text, NativePathStyle) &&
        colon >= RootLength(text, NativePathStyle) && colon + 1 < text.size()) {
        std::string file = text.substr(0, colon);
        if (!file.empty() && fs.pathExists(file))
            return {std::move(file), text.substr(colon + 1)};
    }
    return {text, {}};
}

}  // namespace tessaly

namespace tessaly {

namespace {

// The whole item, held in memory and handed out in pieces.
class WholeReader final : public ItemReader {
public:
    explicit WholeReader(std::string data) : data_(std::move(data)) {}
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        const std::size_t n = std::min(size, data_.size() - offset_);
        std::copy_n(data_.data() + offset_, n, buffer);
        offset_ += n;
        return n;
    }
    std::optional<std::uint64_t> size() const override { return data_.size(); }

private:
    std::string data_;
    std::size_t offset_ = 0;
};

// Collects the pieces and writes them whole when finished.
class WholeWriter final : public ItemWriter {
public:
    WholeWriter(FileSystem& fs, ItemRef item) : fs_(fs), item_(std::move(item)) {}
    std::optional<SysError> write(std::string_view data) override
    {
        data_.append(data);
        return std::nullopt;
    }
    std::optional<SysError> finish() override { return fs_.writeItem(item_, data_); }

private:
    FileSystem& fs_;
    ItemRef item_;
    std::string data_;
};

class InPlaceFile final : public PendingFile {
public:
    explicit InPlaceFile(std::string path) : path_(std::move(path)) {}
    const std::string& path() const override { return path_; }
    std::optional<SysError> commit() override { return std::nullopt; }
    bool inPlace() const override { return true; }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<PendingFile> InPlacePending(std::string path)
{
    return std::make_unique<InPlaceFile>(std::move(path));
}

Expected<std::unique_ptr<ItemReader>> FileSystem::openCopy(const ItemRef& item)
{
    auto data = readItem(item);
    if (!data.ok())
        return data.error();
    return std::unique_ptr<ItemReader>(std::make_unique<WholeReader>(std::move(data.value())));
}

Expected<std::unique_ptr<ItemReader>> FileSystem::openRead(const ItemRef& item)
{
    auto data = readItem(item);
    if (!data.ok())
        return data.error();
    return std::unique_ptr<ItemReader>(std::make_unique<WholeReader>(std::move(data.value())));
}

Expected<std::unique_ptr<ItemWriter>> FileSystem::openWrite(const ItemRef& item)
{
    return std::unique_ptr<ItemWriter>(std::make_unique<WholeWriter>(*this, item));
}

std::optional<SysError> FileSystem::writeThroughWriter(const ItemRef& item, std::string_view data)
{
    auto writer = openWrite(item);
    if (!writer.ok())
        return writer.error();
    if (auto error = writer.value()->write(data))
        return error;
    return writer.value()->finish();
}

Expected<std::unique_ptr<PendingFile>> FileSystem::createPending(const std::string& target)
{
    return InPlacePending(target);
}

std::vector<StreamInfo> FileSystem::listStreamsIn(FolderListing&, const std::string&, const std::string& path)
{
    return listStreams(path);
}

std::optional<FileFacts> FolderSystem::lookupIn(FolderListing&, const std::string&, const std::string& path)
{
    return lookup(path);
}

}  // namespace tessaly
