#include "streams/copy_item.h"

#include <memory>
#include <vector>

#include "common/texts.h"

namespace tessaly {

namespace {

// Puts the two values in place of the pattern's two "%s", left to right; a "%s" inside a value
// stays as it is.
std::string fillIn(std::string_view pattern, std::string_view first, std::string_view second)
{
    std::string out;
    std::size_t from = 0;
    for (std::string_view value : {first, second}) {
        const auto at = pattern.find("%s", from);
        if (at == std::string_view::npos)
            break;
        out.append(pattern.substr(from, at - from)).append(value);
        from = at + 2;
    }
    return out.append(pattern.substr(from));
}

}  // namespace

std::optional<CopyError> CopyItemData(FileSystem& fs, const ItemRef& source, const ItemRef& target)
{
    auto reader = fs.openRead(source);
    if (!reader.ok())
        return CopyError{CopyError::Side::Source, source.text(), reader.error()};
    return CopyItemData(fs, *reader.value(), source.text(), target);
}

std::optional<CopyError> CopyItemData(FileSystem& fs, ItemReader& reader, const std::string& sourceText,
                                      const ItemRef& target)
{
    const auto sourceError = [&](SysError e) { return CopyError{CopyError::Side::Source, sourceText, std::move(e)}; };
    auto writer = fs.openWrite(target);
    if (!writer.ok())
        return CopyError{CopyError::Side::Target, target.text(), writer.error()};
    const auto targetError = [&](SysError e) {
        return CopyError{CopyError::Side::Target, target.text(), std::move(e), writer.value()->changedTarget()};
    };
    // Room first: a full volume is reported while the target is still as it was.
    if (const auto size = reader.size())
        if (auto error = writer.value()->reserve(*size))
            return targetError(*error);

    writer.value()->takeDirectly(reader);
    const auto buffer = std::make_unique<char[]>(CopyPieceSize);
    for (;;) {
        auto got = reader.read(buffer.get(), CopyPieceSize);
        if (!got.ok())
            return sourceError(got.error());
        if (got.value() == 0)
            break;
        if (auto error = writer.value()->write(std::string_view(buffer.get(), got.value())))
            return targetError(*error);
    }
    if (auto error = writer.value()->finish())
        return targetError(*error);
    return std::nullopt;
}

std::string CopyErrorText(const CopyError& error, std::string_view shownPath)
{
    const std::string_view pattern =
        error.side == CopyError::Side::Source ? texts::CannotOpenFile : texts::CannotCreateFile;
    return fillIn(pattern, shownPath, error.error.message);
}

std::string AbsolutePathText(std::string_view currentFolder, std::string_view path)
{
    std::string joined = path.substr(0, 1) == "/" ? std::string(path) : std::string(currentFolder) + "/" + std::string(path);
    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const auto part : parts)
        out.append("/").append(part);
    return out.empty() ? "/" : out;
}

}  // namespace tessaly
