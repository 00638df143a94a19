#include "platform/windows/windows_streams.h"

#include <windows.h>

#include <limits>
#include <utility>

#include "platform/windows/unique_handle.h"
#include "platform/windows/wide.h"
#include "streams/backup_walk.h"

namespace tessaly {

namespace {

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

// Stream names in UTF-8, as every name inside the program is.
std::string StreamNameUtf8(std::u16string_view text)
{
    return Utf8(std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

}  // namespace

std::vector<StreamInfo> ListBackupStreams(const std::string& path)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 names are handed over as wchar_t");
    // Full sharing: listing must not fail on a file another program has open, nor lock that
    // program out while the walk runs. A stream that changes meanwhile shows its size of the moment.
    UniqueHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid())
        return {};
    BackupReadSource source(file.get());
    return WalkBackupStreams(source, StreamNameUtf8);
}

}  // namespace tessaly
