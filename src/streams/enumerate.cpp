#include "streams/enumerate.h"

#include "platform/system.h"

namespace tessaly {

void EnumerateStreams(FileSystem& fs, const std::string& path, StreamList& list)
{
    list.clear();
    for (auto& s : fs.listStreams(path))
        list.push_back({path + ":" + s.name, s.size});
}

}  // namespace tessaly
