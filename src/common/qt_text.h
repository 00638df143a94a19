#pragma once
// The program's fixed texts are UTF-8 literals; widgets take them as QString.

#include <QString>

#include <string_view>

#include "common/shown_name.h"

namespace tessaly {

inline QString tr8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A name or path (bytes) as a person reads it: control bytes, invalid UTF-8 and line or direction
// changing characters as visible escapes (ShownName). Never turned back into a path.
inline QString shownText(std::string_view bytes)
{
    if (!NeedsEscaping(bytes))
        return tr8(bytes);
    return tr8(ShownName(bytes));
}

}  // namespace tessaly
