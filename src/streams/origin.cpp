#include "streams/origin.h"

#include <array>

#include "common/texts.h"
#include "platform/system.h"
#include "streams/names.h"
#include "streams/preview.h"

namespace tessaly {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\0'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n' ||
                          s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

std::optional<int> parseZone(std::string_view v)
{
    if (v.empty() || v.size() > 9)
        return std::nullopt;
    int n = 0;
    for (char c : v) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The small value of an origin stream; empty when it cannot be read.
std::string readSmall(FileSystem& fs, const std::string& file, const std::string& stream)
{
    auto sample = ReadPreview(fs, {file, stream}, 0, 8192);
    return sample.ok() ? std::move(sample.value().bytes) : std::string();
}

}  // namespace

std::optional<Origin> ParseZoneIdentifier(std::string_view bytes)
{
    std::string text;
    if (bytes.substr(0, 2) == "\xff\xfe" || bytes.substr(0, 2) == "\xfe\xff")
        text = Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xfe');
    else if (bytes.substr(0, 3) == "\xef\xbb\xbf")
        text = bytes.substr(3);
    else
        text = bytes;

    Origin origin;
    bool found = false, inSection = false;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            inSection = line.back() == ']' && sameIgnoringCase(trim(line.substr(1, line.size() - 2)), "ZoneTransfer");
            found = found || inSection;
            continue;
        }
        const auto eq = line.find('=');
        if (!inSection || eq == std::string_view::npos)
            continue;
        const std::string_view key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
        if (sameIgnoringCase(key, "ZoneId"))
            origin.zoneId = parseZone(value);
        else if (sameIgnoringCase(key, "ReferrerUrl"))
            origin.referrerUrl = value;
        else if (sameIgnoringCase(key, "HostUrl"))
            origin.hostUrl = value;
    }
    if (!found)
        return std::nullopt;
    return origin;
}

std::string ZoneText(int zoneId)
{
    static constexpr std::array<std::string_view, 5> names = {texts::Zone0, texts::Zone1, texts::Zone2, texts::Zone3,
                                                              texts::Zone4};
    std::string text = std::to_string(zoneId);
    if (zoneId >= 0 && zoneId < int(names.size()))
        text.append(" ").append(names[std::size_t(zoneId)]);
    return text;
}

std::vector<std::pair<std::string, std::string>> OriginLines(const Origin& origin)
{
    std::vector<std::pair<std::string, std::string>> lines;
    if (origin.zoneId)
        lines.emplace_back(texts::OriginZone, ZoneText(*origin.zoneId));
    if (!origin.hostUrl.empty())
        lines.emplace_back(texts::OriginHost, origin.hostUrl);
    if (!origin.referrerUrl.empty())
        lines.emplace_back(texts::OriginReferrer, origin.referrerUrl);
    if (!origin.xdgOriginUrl.empty())
        lines.emplace_back(texts::OriginXdgOrigin, origin.xdgOriginUrl);
    if (!origin.xdgReferrerUrl.empty())
        lines.emplace_back(texts::OriginXdgReferrer, origin.xdgReferrerUrl);
    return lines;
}

Origin ReadOrigin(FileSystem& fs, const std::string& file)
{
    Origin origin;
    for (const StreamInfo& s : fs.listStreams(file)) {
        // Windows compares stream names without regard to case.
        if (sameIgnoringCase(s.name, ZoneIdentifierStream)) {
            if (auto zone = ParseZoneIdentifier(readSmall(fs, file, s.name))) {
                origin.zoneId = zone->zoneId;
                origin.referrerUrl = std::move(zone->referrerUrl);
                origin.hostUrl = std::move(zone->hostUrl);
            }
        } else if (s.name == XdgOriginStream) {
            origin.xdgOriginUrl = trim(readSmall(fs, file, s.name));
        } else if (s.name == XdgReferrerStream) {
            origin.xdgReferrerUrl = trim(readSmall(fs, file, s.name));
        }
    }
    return origin;
}

}  // namespace tessaly
