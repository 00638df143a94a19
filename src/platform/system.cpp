#include "platform/system.h"

namespace tessaly {

ItemRef ResolveItemText(FileSystem& fs, const std::string& text)
{
    if (fs.pathExists(text))
        return {text, {}};
    const auto slash = text.rfind('/');
    const auto colon = text.rfind(':');
    if (colon != std::string::npos && (slash == std::string::npos || colon > slash) && colon + 1 < text.size()) {
        std::string file = text.substr(0, colon);
        if (!file.empty() && fs.pathExists(file))
            return {std::move(file), text.substr(colon + 1)};
    }
    return {text, {}};
}

}  // namespace tessaly
