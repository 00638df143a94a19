#include "platform/windows/windows_filesystem.h"

#include <windows.h>

#include <utility>

#include "platform/windows/wide.h"
#include "platform/windows/windows_streams.h"

namespace tessaly {

namespace {

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // Closes the handle now; false when closing reported an error (data that could not be written).
    bool reset()
    {
        const bool ok = !valid() || ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

struct FindCloser {
    HANDLE handle;
    ~FindCloser()
    {
        if (handle != INVALID_HANDLE_VALUE)
            ::FindClose(handle);
    }
};

std::uint64_t sizeOf(DWORD high, DWORD low)
{
    return (std::uint64_t(high) << 32) | low;
}

// FILETIME counts 100 ns steps since 1601.
std::int64_t unixSeconds(const FILETIME& t)
{
    const std::int64_t ticks = std::int64_t(sizeOf(t.dwHighDateTime, t.dwLowDateTime));
    return (ticks - 116444736000000000LL) / 10000000LL;
}

class HandleReader final : public ItemReader {
public:
    explicit HandleReader(UniqueHandle handle) : handle_(std::move(handle)) {}
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        DWORD got = 0;
        const DWORD want = size > 0x40000000 ? 0x40000000 : DWORD(size);
        if (!::ReadFile(handle_.get(), buffer, want, &got, nullptr))
            return LastError();
        return std::size_t(got);
    }

private:
    UniqueHandle handle_;
};

std::optional<SysError> writeAll(HANDLE handle, std::string_view data)
{
    while (!data.empty()) {
        const DWORD piece = data.size() > 0x40000000 ? 0x40000000 : DWORD(data.size());
        DWORD written = 0;
        if (!::WriteFile(handle, data.data(), piece, &written, nullptr))
            return LastError();
        data.remove_prefix(written);
    }
    return std::nullopt;
}

// A stream is written in place: NTFS cannot rename a stream over another one of the file. A stream
// that this write created and could not finish is removed, so that no half stream is left behind.
class StreamWriter final : public ItemWriter {
public:
    StreamWriter(UniqueHandle handle, std::wstring created) : handle_(std::move(handle)), created_(std::move(created)) {}
    ~StreamWriter() override
    {
        if (!done_ && !created_.empty()) {
            handle_.reset();
            ::DeleteFileW(created_.c_str());
        }
    }
    std::optional<SysError> write(std::string_view data) override { return writeAll(handle_.get(), data); }
    std::optional<SysError> finish() override
    {
        if (!handle_.reset())
            return LastError();
        done_ = true;
        return std::nullopt;
    }

private:
    UniqueHandle handle_;
    std::wstring created_;
    bool done_ = false;
};

// A plain file is written beside its target and takes its place only when complete. ReplaceFile
// keeps what the old file had that the data does not carry: its streams, security and attributes.
class ReplacingWriter final : public ItemWriter {
public:
    ReplacingWriter(UniqueHandle handle, std::string temp, std::string target)
        : handle_(std::move(handle)), temp_(std::move(temp)), target_(std::move(target))
    {
    }
    ~ReplacingWriter() override
    {
        if (!done_) {
            handle_.reset();
            ::DeleteFileW(SystemPath(temp_).c_str());
        }
    }
    std::optional<SysError> write(std::string_view data) override { return writeAll(handle_.get(), data); }
    std::optional<SysError> finish() override
    {
        if (!handle_.reset())
            return LastError();
        const std::wstring target = SystemPath(target_);
        const std::wstring temp = SystemPath(temp_);
        const bool replaced =
            ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES
                ? ::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                : ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        if (!replaced)
            return LastError();
        done_ = true;
        return std::nullopt;
    }

private:
    UniqueHandle handle_;
    std::string temp_;
    std::string target_;
    bool done_ = false;
};

class WindowsFolderListing final : public FolderListing {
public:
    WindowsFolderListing(HANDLE find, const WIN32_FIND_DATAW& first) : find_{find}, data_(first) {}

    bool next(FolderEntry& entry) override
    {
        if (!pending_ && !::FindNextFileW(find_.handle, &data_))
            return false;
        pending_ = false;
        entry.name = Utf8(data_.cFileName);
        entry.size = sizeOf(data_.nFileSizeHigh, data_.nFileSizeLow);
        if (!(data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            entry.kind = FolderEntry::Kind::File;
        else
            // A junction or folder link can lead back to an ancestor: the walk does not follow it.
            entry.kind = data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT ? FolderEntry::Kind::FolderLink
                                                                              : FolderEntry::Kind::Folder;
        return true;
    }

private:
    FindCloser find_;
    WIN32_FIND_DATAW data_;
    bool pending_ = true;
};

}  // namespace

SysError LastError()
{
    const DWORD code = ::GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = n && text ? Utf8(std::wstring_view(text, n)) : "error " + std::to_string(code);
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return SysError{int(code), std::move(message), ErrorKindOfWindowsError(code)};
}

std::vector<StreamInfo> WindowsFileSystem::listStreams(const std::string& path)
{
    return ListBackupStreams(path);
}

std::uint64_t WindowsFileSystem::fileSizeOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return sizeOf(data.nFileSizeHigh, data.nFileSizeLow);
}

bool WindowsFileSystem::pathExists(const std::string& path)
{
    // A file that may not be looked at still exists: its error is "access denied", not "not found".
    return ::GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES ||
           ErrorKindOfWindowsError(::GetLastError()) == ErrorKind::AccessDenied;
}

bool WindowsFileSystem::streamExists(const std::string& file, const std::string& stream)
{
    const DWORD attributes = ::GetFileAttributesW(SystemPath(file + ":" + stream).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Expected<std::string> WindowsFileSystem::readItem(const ItemRef& item)
{
    auto reader = openRead(item);
    if (!reader.ok())
        return reader.error();
    std::string data;
    char buffer[65536];
    for (;;) {
        auto got = reader.value()->read(buffer, sizeof buffer);
        if (!got.ok())
            return got.error();
        if (got.value() == 0)
            return data;
        data.append(buffer, got.value());
    }
}

std::optional<SysError> WindowsFileSystem::writeItem(const ItemRef& item, std::string_view data)
{
    return writeThroughWriter(item, data);
}

Expected<std::unique_ptr<ItemReader>> WindowsFileSystem::openRead(const ItemRef& item)
{
    // Others may read but not write while the item is copied.
    UniqueHandle handle(::CreateFileW(SystemPath(item.text()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid())
        return LastError();
    // A pipe, console or device never ends or blocks: only files on a disk are read.
    if (::GetFileType(handle.get()) != FILE_TYPE_DISK)
        return SysError{ERROR_INVALID_FUNCTION, "not a file on a disk (a pipe, console or device is not read)", ErrorKind::Other};
    return std::unique_ptr<ItemReader>(std::make_unique<HandleReader>(std::move(handle)));
}

Expected<std::unique_ptr<ItemWriter>> WindowsFileSystem::openWrite(const ItemRef& item)
{
    if (item.isStream()) {
        const std::wstring path = SystemPath(item.text());
        // Whether the stream is new decides what an unfinished write leaves: a new one goes again.
        const bool existed = ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        UniqueHandle handle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle.valid())
            return LastError();
        return std::unique_ptr<ItemWriter>(
            std::make_unique<StreamWriter>(std::move(handle), existed ? std::wstring() : path));
    }
    const DWORD attributes = ::GetFileAttributesW(SystemPath(item.file).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return SysError{ERROR_ACCESS_DENIED, "the file is read-only", ErrorKind::AccessDenied};
    // A fresh name beside the target, in the same folder so that it can take the target's place.
    for (unsigned attempt = 0;; ++attempt) {
        const std::string temp = item.file + ".tessaly-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string(attempt);
        UniqueHandle handle(::CreateFileW(SystemPath(temp).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (handle.valid())
            return std::unique_ptr<ItemWriter>(std::make_unique<ReplacingWriter>(std::move(handle), temp, item.file));
        if (::GetLastError() != ERROR_FILE_EXISTS || attempt >= 100)
            return LastError();
    }
}

Expected<std::unique_ptr<FolderListing>> WindowsFolderSystem::openFolder(const std::string& folder)
{
    std::string pattern = folder;
    if (pattern.empty() || (pattern.back() != '/' && pattern.back() != '\\'))
        pattern.push_back('\\');
    pattern += "*";
    WIN32_FIND_DATAW first{};
    const HANDLE find = ::FindFirstFileW(SystemPath(pattern).c_str(), &first);
    if (find == INVALID_HANDLE_VALUE)
        return LastError();
    return std::unique_ptr<FolderListing>(std::make_unique<WindowsFolderListing>(find, first));
}

std::optional<FileFacts> WindowsFolderSystem::lookup(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return FileFacts{sizeOf(data.nFileSizeHigh, data.nFileSizeLow), unixSeconds(data.ftLastWriteTime)};
}

}  // namespace tessaly
