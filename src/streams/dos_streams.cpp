#include "streams/dos_streams.h"

namespace tessaly {

namespace {
constexpr std::string_view Prefix = "DosStream.";
constexpr std::string_view DataType = ":$DATA";
}  // namespace

std::optional<std::string> DosStreamName(std::string_view attribute)
{
    if (attribute.size() <= Prefix.size() + DataType.size() || attribute.substr(0, Prefix.size()) != Prefix ||
        attribute.substr(attribute.size() - DataType.size()) != DataType)
        return std::nullopt;
    return std::string(attribute.substr(Prefix.size(), attribute.size() - Prefix.size() - DataType.size()));
}

std::string DosStreamAttribute(std::string_view stream)
{
    std::string name;
    name.reserve(Prefix.size() + stream.size() + DataType.size());
    name.append(Prefix).append(stream).append(DataType);
    return name;
}

std::string_view DosStreamData(std::string_view value)
{
    if (!value.empty() && value.back() == '\0')
        value.remove_suffix(1);
    return value;
}

std::uint64_t DosStreamSize(std::uint64_t valueSize)
{
    // The size query cannot see whether the last byte is the NUL; the server always writes it.
    return valueSize > 0 ? valueSize - 1 : 0;
}

std::string DosStreamValue(std::string_view data)
{
    std::string value;
    value.reserve(data.size() + 1);
    value.append(data).push_back('\0');
    return value;
}

}  // namespace tessaly
