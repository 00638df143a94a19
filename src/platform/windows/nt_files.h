#pragma once
// Files and streams on Windows, written over the handful of file operations they need. The real
// operations are the wide calls (wide_file_api.h); the rules of what a write leaves behind live
// here, free of system headers, so that they are checked on any system against an in-memory file
// store.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace tessaly {

// File attribute bits as Windows defines them.
inline constexpr std::uint32_t NtReadOnly = 0x1;
inline constexpr std::uint32_t NtDirectory = 0x10;
// The error codes the rules below look at.
inline constexpr int NtFileExists = 80;                // ERROR_FILE_EXISTS
inline constexpr int NtUnableToMoveReplacement = 1176;  // ERROR_UNABLE_TO_MOVE_REPLACEMENT
inline constexpr int NtUnableToMoveReplacement2 = 1177; // ERROR_UNABLE_TO_MOVE_REPLACEMENT_2

struct NtFacts {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
};

// An open file or stream; closed when destroyed.
class NtHandle {
public:
    virtual ~NtHandle() = default;
    virtual Expected<std::size_t> read(char* buffer, std::size_t size) = 0;
    virtual std::optional<SysError> write(std::string_view data) = 0;
    // Closes now; the error when data could not be written out.
    virtual std::optional<SysError> close() = 0;
    // A file on a disk, not a pipe, console or device.
    virtual bool onDisk() const = 0;
};

// The file operations, with UTF-8 paths ("path:stream" for a stream).
class NtFileApi {
public:
    enum class Open {
        Read,          // existing item, others may read along
        CreateAlways,  // create or empty, nobody else in meanwhile
        CreateNew,     // a new file; NtFileExists when the name is taken
        Truncate,      // an existing file emptied
    };
    virtual ~NtFileApi() = default;
    virtual Expected<NtFacts> facts(const std::string& path) = 0;
    virtual Expected<std::unique_ptr<NtHandle>> open(const std::string& path, Open how) = 0;
    virtual std::optional<SysError> remove(const std::string& path) = 0;
    virtual std::optional<SysError> setAttributes(const std::string& path, std::uint32_t attributes) = 0;
    // ReplaceFileW: replacement takes target's name; target goes to backup on the way.
    virtual std::optional<SysError> replace(const std::string& target, const std::string& replacement,
                                            const std::string& backup) = 0;
    // MoveFileExW without replacing anything that is there.
    virtual std::optional<SysError> move(const std::string& from, const std::string& to) = 0;
    // The named streams of the file, from its backup data.
    virtual std::vector<StreamInfo> streams(const std::string& path) = 0;
    // Makes names beside a target that no other running copy picks.
    virtual std::uint32_t processId() = 0;
};

class NtFileSystem : public FileSystem {
public:
    explicit NtFileSystem(std::shared_ptr<NtFileApi> api) : api_(std::move(api)) {}

    std::vector<StreamInfo> listStreams(const std::string& path) override;
    std::uint64_t fileSizeOf(const std::string& path) override;
    bool pathExists(const std::string& path) override;
    std::optional<SysError> pathError(const std::string& path) override;
    bool streamExists(const std::string& file, const std::string& stream) override;
    Expected<std::string> readItem(const ItemRef& item) override;
    std::optional<SysError> writeItem(const ItemRef& item, std::string_view data) override;
    Expected<std::unique_ptr<ItemReader>> openRead(const ItemRef& item) override;
    Expected<std::unique_ptr<ItemWriter>> openWrite(const ItemRef& item) override;
    Expected<std::unique_ptr<PendingFile>> createPending(const std::string& target) override;

    // Puts the finished file replacement in target's place, keeping what target carries that
    // replacement does not (its streams, access list and attributes). Target stays as it was
    // whenever this fails.
    static std::optional<SysError> PutInPlace(NtFileApi& api, const std::string& target, const std::string& replacement);

private:
    // A new, empty file beside target, and its name.
    Expected<std::pair<std::string, std::unique_ptr<NtHandle>>> besideTarget(const std::string& target, std::string_view kind);

    std::shared_ptr<NtFileApi> api_;
    // Files being assembled for createPending: written straight, they are nobody's yet.
    std::shared_ptr<std::set<std::string>> pending_ = std::make_shared<std::set<std::string>>();
};

}  // namespace tessaly
