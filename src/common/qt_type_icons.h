#pragma once
// Small file-type pictures of our own, for a desktop without an icon theme: a page with an emblem
// for the broad kind of the type (text, picture, sound, video, archive, document, program).

#include <QIcon>

class QMimeType;

namespace tessaly {

enum class TypeKind { Other, Text, Image, Audio, Video, Archive, Document, Program };

// The broad kind of a MIME type, from its name, its parents and its generic icon name.
TypeKind KindOfType(const QMimeType& type);
// The built-in picture for a kind, at 16 and 32 pixels.
QIcon BuiltInTypeIcon(TypeKind kind);

}  // namespace tessaly
