#pragma once
// Where a downloaded file came from: the Zone.Identifier stream that Windows browsers attach
// ([ZoneTransfer] with ZoneId, ReferrerUrl, HostUrl) and the origin attributes that Linux browsers
// and download tools write (user.xdg.origin.url, user.xdg.referrer.url).

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

class FileSystem;

inline constexpr std::string_view ZoneIdentifierStream = "Zone.Identifier";
inline constexpr std::string_view XdgOriginStream = "xdg.origin.url";
inline constexpr std::string_view XdgReferrerStream = "xdg.referrer.url";

struct Origin {
    std::optional<int> zoneId;
    std::string referrerUrl, hostUrl;          // from Zone.Identifier
    std::string xdgOriginUrl, xdgReferrerUrl;  // from the Linux attributes
    bool empty() const
    {
        return !zoneId && referrerUrl.empty() && hostUrl.empty() && xdgOriginUrl.empty() && xdgReferrerUrl.empty();
    }
};

// The [ZoneTransfer] values of a Zone.Identifier stream, in UTF-8 (with or without a byte order
// mark) or UTF-16 with one. Keys and the section name without regard to case; values trimmed.
// Nothing when there is no [ZoneTransfer] section.
std::optional<Origin> ParseZoneIdentifier(std::string_view bytes);

// The zone's number with its name ("3 インターネット"); an unknown number alone.
std::string ZoneText(int zoneId);

// Caption and value lines to show, in a fixed order; values as stored (the caller escapes them).
std::vector<std::pair<std::string, std::string>> OriginLines(const Origin& origin);

// The origin of file from its own streams; reads at most a few KiB of each.
Origin ReadOrigin(FileSystem& fs, const std::string& file);

}  // namespace tessaly
