#pragma once
// The program's fixed texts are UTF-8 literals; widgets take them as QString.

#include <QString>

#include <string_view>

namespace tessaly {

inline QString tr8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace tessaly
