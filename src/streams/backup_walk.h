#pragma once
// Named streams of a file read from its backup data: the record sequence that the Windows backup
// interface produces (a 20-byte header, the stream's name, the stream's data, then the next
// header). The walk visits every header, takes the named ones and passes over all data unread, so
// its cost depends on the number of streams, not on their sizes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system.h"

namespace tessaly {

// The backup data of one open file, read front to back.
class BackupSource {
public:
    virtual ~BackupSource() = default;
    // Reads up to size bytes into buffer: the count delivered (0 at the end of the data), or
    // nothing when the read failed.
    virtual std::optional<std::size_t> read(unsigned char* buffer, std::size_t size) = 0;
    // Moves past the rest of the current stream's data, so that the next read starts at the next
    // header. Failures are not reported: the next header read shows them.
    virtual void skipStreamData() = 0;
};

// Turns a stream name as stored (UTF-16, no terminator) into the byte string the caller's paths use.
using StreamNameConverter = std::function<std::string(std::u16string_view)>;

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// The bare name of a stream from its stored form ":name:$DATA" (already converted): the first
// character (the colon) dropped and everything from the next colon on.
std::string BareStreamName(std::string_view stored);

// Longest name the walk accepts. NTFS names hold at most 255 units, so a stored name is at most
// 524 bytes; a header announcing far more is damaged and ends the walk instead of asking for an
// allocation of up to 4 GiB.
inline constexpr std::uint32_t MaxBackupNameBytes = 64 * 1024;

// Walks the source to its end and returns one entry per named stream, in the order of the data,
// each with the 64-bit size from its header. Unnamed streams (the main data, security data) give no
// entry. A failed or empty header read ends the walk; a name read that fails or delivers fewer bytes
// than announced ends it too, and the entries found so far are kept.
std::vector<StreamInfo> WalkBackupStreams(BackupSource& source,
                                          const StreamNameConverter& convert = Utf16ToUtf8);

}  // namespace tessaly
