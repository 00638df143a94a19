#pragma once
// The file operations of NtFileSystem through the wide calls, with "\\?\" paths.

#include "platform/windows/nt_files.h"

namespace tessaly {

class WideFileApi final : public NtFileApi {
public:
    Expected<NtFacts> facts(const std::string& path) override;
    Expected<std::unique_ptr<NtHandle>> open(const std::string& path, Open how) override;
    std::optional<SysError> remove(const std::string& path) override;
    std::optional<SysError> setAttributes(const std::string& path, std::uint32_t attributes) override;
    std::optional<SysError> replace(const std::string& target, const std::string& replacement,
                                    const std::string& backup) override;
    std::optional<SysError> move(const std::string& from, const std::string& to) override;
    std::vector<StreamInfo> streams(const std::string& path) override;
    std::uint32_t processId() override;
};

}  // namespace tessaly
