#pragma once
// The program's fixed texts are UTF-8 literals; widgets take them as QString.

#include <QFile>
#include <QString>

#include <string>
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

// A path's bytes as the toolkit's file functions take them, and back: the program's own UTF-8 on
// Windows (where the toolkit's file name encoding would be the ANSI code page), the file system's
// bytes decoded by the locale on Linux.
inline QString pathText(std::string_view bytes)
{
#ifdef _WIN32
    return tr8(bytes);
#else
    return QFile::decodeName(QByteArray(bytes.data(), qsizetype(bytes.size())));
#endif
}

inline std::string pathBytes(const QString& text)
{
#ifdef _WIN32
    return text.toUtf8().toStdString();
#else
    return QFile::encodeName(text).toStdString();
#endif
}

}  // namespace tessaly
