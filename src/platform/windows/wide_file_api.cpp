#include "platform/windows/wide_file_api.h"

#include <windows.h>

#include "platform/windows/unique_handle.h"
#include "platform/windows/wide.h"
#include "platform/windows/windows_filesystem.h"
#include "platform/windows/windows_streams.h"

namespace tessaly {

namespace {

class WideHandle final : public NtHandle {
public:
    explicit WideHandle(UniqueHandle handle) : handle_(std::move(handle)) {}
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        DWORD got = 0;
        const DWORD want = size > 0x40000000 ? 0x40000000 : DWORD(size);
        if (!::ReadFile(handle_.get(), buffer, want, &got, nullptr))
            return LastError();
        return std::size_t(got);
    }
    std::optional<SysError> write(std::string_view data) override
    {
        while (!data.empty()) {
            const DWORD piece = data.size() > 0x40000000 ? 0x40000000 : DWORD(data.size());
            DWORD written = 0;
            if (!::WriteFile(handle_.get(), data.data(), piece, &written, nullptr))
                return LastError();
            data.remove_prefix(written);
        }
        return std::nullopt;
    }
    std::optional<SysError> close() override
    {
        if (!handle_.reset())
            return LastError();
        return std::nullopt;
    }
    bool onDisk() const override { return ::GetFileType(handle_.get()) == FILE_TYPE_DISK; }

private:
    UniqueHandle handle_;
};

std::optional<SysError> failedUnless(BOOL ok)
{
    return ok ? std::nullopt : std::optional<SysError>(LastError());
}

}  // namespace

Expected<NtFacts> WideFileApi::facts(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data))
        return LastError();
    return NtFacts{data.dwFileAttributes, (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

Expected<std::unique_ptr<NtHandle>> WideFileApi::open(const std::string& path, Open how)
{
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = 0;
    DWORD disposition = CREATE_ALWAYS;
    switch (how) {
    case Open::Read:
        // Others may read but not write while the item is copied.
        access = GENERIC_READ;
        share = FILE_SHARE_READ;
        disposition = OPEN_EXISTING;
        break;
    case Open::CreateAlways:
        break;
    case Open::CreateNew:
        disposition = CREATE_NEW;
        break;
    case Open::Truncate:
        disposition = TRUNCATE_EXISTING;
        break;
    }
    UniqueHandle handle(::CreateFileW(SystemPath(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!handle.valid())
        return LastError();
    return std::unique_ptr<NtHandle>(std::make_unique<WideHandle>(std::move(handle)));
}

std::optional<SysError> WideFileApi::remove(const std::string& path)
{
    return failedUnless(::DeleteFileW(SystemPath(path).c_str()));
}

std::optional<SysError> WideFileApi::setAttributes(const std::string& path, std::uint32_t attributes)
{
    return failedUnless(::SetFileAttributesW(SystemPath(path).c_str(), attributes));
}

std::optional<SysError> WideFileApi::replace(const std::string& target, const std::string& replacement,
                                             const std::string& backup)
{
    return failedUnless(::ReplaceFileW(SystemPath(target).c_str(), SystemPath(replacement).c_str(),
                                       SystemPath(backup).c_str(), 0, nullptr, nullptr));
}

std::optional<SysError> WideFileApi::move(const std::string& from, const std::string& to)
{
    return failedUnless(::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_WRITE_THROUGH));
}

std::vector<StreamInfo> WideFileApi::streams(const std::string& path)
{
    return ListBackupStreams(path);
}

std::uint32_t WideFileApi::processId()
{
    return ::GetCurrentProcessId();
}

}  // namespace tessaly
