#include "streams/enumerate.h"

#include "platform/system.h"

namespace tessaly {

void EnumerateStreams(FileSystem& fs, const std::string& path, StreamList& list, const std::string& listed)
{
    list.clear();
    auto streams = fs.listStreams(listed.empty() ? path : listed);
    list.reserve(streams.size());
    for (auto& s : streams) {
        // Built in one allocation: a scan makes one such text per stream it finds.
        std::string text;
        text.reserve(path.size() + 1 + s.name.size());
        text.append(path).append(1, ':').append(s.name);
        list.push_back({std::move(text), s.size});
    }
}

}  // namespace tessaly
