#include "platform/windows/windows_streams.h"

#include <windows.h>

#include <limits>
#include <utility>

#include "streams/backup_walk.h"

namespace tessaly {

namespace {

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle()
    {
        if (valid())
            ::CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

private:
    HANDLE handle_;
};

// The backup data of one open file. The backup interface keeps its position in a context that it
// allocates on the first read; the destructor hands it back with an aborting read, however the walk
// ended, before the handle is closed.
class BackupReadSource final : public BackupSource {
public:
    explicit BackupReadSource(HANDLE file) : file_(file) {}
    BackupReadSource(const BackupReadSource&) = delete;
    BackupReadSource& operator=(const BackupReadSource&) = delete;
    ~BackupReadSource() override
    {
        BYTE none = 0;
        DWORD count = 0;
        ::BackupRead(file_, &none, 0, &count, TRUE, FALSE, &context_);
    }

    std::optional<std::size_t> read(unsigned char* buffer, std::size_t size) override
    {
        if (size > std::numeric_limits<DWORD>::max())
            return std::nullopt;
        DWORD count = 0;
        // Security data is asked for so that every header of the file is visited; it has no name.
        if (!::BackupRead(file_, buffer, DWORD(size), &count, FALSE, TRUE, &context_))
            return std::nullopt;
        return std::size_t(count);
    }

    void skipStreamData() override
    {
        // The seek stops at the end of the current stream whatever the count, so the largest
        // count passes over any stream in one call, also one over 4 GiB.
        DWORD movedLow = 0;
        DWORD movedHigh = 0;
        ::BackupSeek(file_, 0xFFFFFFFF, 0xFFFFFFFF, &movedLow, &movedHigh, &context_);
    }

private:
    HANDLE file_;
    LPVOID context_ = nullptr;
};

// Stream names in the system's ANSI code page, with its replacement character for what the code
// page cannot hold, as the paths that the rest of the program passes are.
std::string ToAnsi(std::u16string_view text)
{
    if (text.empty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int units = int(text.size());
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(std::size_t(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, units, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::vector<StreamInfo> ListBackupStreams(const std::string& path)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 names are handed over as wchar_t");
    // No sharing: the walk sees the file as one consistent whole.
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return {};
    BackupReadSource source(file.get());
    return WalkBackupStreams(source, ToAnsi);
}

}  // namespace tessaly
