#include "streams/copy_item.h"

namespace tessaly {

namespace {
std::string textOf(const ItemRef& item)
{
    return item.isStream() ? item.file + ":" + item.stream : item.file;
}
}  // namespace

std::optional<CopyError> CopyItemData(FileSystem& fs, const ItemRef& source, const ItemRef& target)
{
    auto data = fs.readItem(source);
    if (!data.ok())
        return CopyError{CopyError::Side::Source, textOf(source), data.error()};
    if (auto error = fs.writeItem(target, data.value()))
        return CopyError{CopyError::Side::Target, textOf(target), *error};
    return std::nullopt;
}

}  // namespace tessaly
