#pragma once
// Listing a file's named streams as entries of the form "<path as given>:<stream name>".

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly {

class FileSystem;

struct StreamEntry {
    std::string text;  // the examined path exactly as passed in, ":", the bare stream name
    std::uint64_t size = 0;
    bool operator==(const StreamEntry&) const = default;
};
using StreamList = std::vector<StreamEntry>;

// Empties list, then fills it with one entry per named stream of path, in the system's order.
// A file that cannot be read gives an empty list, like a file without streams.
// listed, when not empty, is the file whose streams are asked for (the file a link names); the
// entries still begin with path.
void EnumerateStreams(FileSystem& fs, const std::string& path, StreamList& list, const std::string& listed = {});

}  // namespace tessaly
