#pragma once
// Streams that a Samba file server (vfs_streams_xattr) keeps for its Windows clients: the stream
// NAME of a file is the attribute "user.DosStream.NAME:$DATA", whose value is the stream's bytes
// followed by one NUL byte (an attribute cannot be empty, so the server always stores that byte,
// and an empty stream is the single NUL). Tessaly shows such a stream as NAME and reads and writes
// it in that stored form, so that the server's clients and Tessaly see the same bytes.
// ksmbd uses the same attribute names but stores the bytes without the closing NUL; a value
// without one is taken whole, so only a ksmbd stream whose last byte is NUL reads one byte short.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// The stream name for an attribute name without its "user." prefix ("DosStream.NAME:$DATA" gives
// NAME); nothing for any other attribute.
std::optional<std::string> DosStreamName(std::string_view attribute);
// The attribute name, without "user.", that holds stream as a server stream.
std::string DosStreamAttribute(std::string_view stream);
// The stream's bytes in a stored value: the value without its closing NUL. A value without one
// (not written by the server) is taken whole.
std::string_view DosStreamData(std::string_view value);
// The stream's size for a stored value of valueSize bytes, without reading it.
std::uint64_t DosStreamSize(std::uint64_t valueSize);
// The value to store for the stream's bytes.
std::string DosStreamValue(std::string_view data);

}  // namespace tessaly
