// The Windows layer's files and streams over an in-memory store that behaves as the wide calls do
// (ReplaceFileW's keeping of streams and its failures included): what each write leaves behind.
// And the quoting of the arguments a launch hands over.

#include "platform/windows/nt_files.h"
#include "platform/windows/windows_shell.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace tessaly;

namespace {

struct FakeFile {
    std::string data;
    std::uint32_t attributes = 0x80;
    std::map<std::string, std::string> streams;
};

class FakeNtApi final : public NtFileApi {
public:
    std::map<std::string, FakeFile> files;
    std::set<std::string> denied;  // looking at these is refused
    std::size_t writeBudget = SIZE_MAX;
    int replaceFailure = 0;

    static std::pair<std::string, std::string> split(const std::string& path)
    {
        const auto colon = path.rfind(':');
        if (colon == std::string::npos || colon < 2)
            return {path, {}};
        return {path.substr(0, colon), path.substr(colon + 1)};
    }
    static SysError notFound() { return SysError{2, "not found", ErrorKind::NotFound}; }
    std::string* item(const std::string& path)
    {
        auto [file, stream] = split(path);
        auto it = files.find(file);
        if (it == files.end())
            return nullptr;
        if (stream.empty())
            return &it->second.data;
        auto s = it->second.streams.find(stream);
        return s == it->second.streams.end() ? nullptr : &s->second;
    }

    class Handle final : public NtHandle {
    public:
        Handle(FakeNtApi& api, std::string path) : api_(api), path_(std::move(path)) {}
        Expected<std::size_t> read(char* buffer, std::size_t size) override
        {
            const std::string& data = *api_.item(path_);
            const std::size_t n = std::min(size, data.size() - at_);
            data.copy(buffer, n, at_);
            at_ += n;
            return n;
        }
        std::optional<SysError> write(std::string_view data) override
        {
            const std::size_t n = std::min(data.size(), api_.writeBudget);
            api_.item(path_)->append(data.substr(0, n));
            api_.writeBudget -= n;
            if (n < data.size())
                return SysError{112, "disk full", ErrorKind::Other};
            return std::nullopt;
        }
        std::optional<SysError> close() override { return std::nullopt; }
        bool onDisk() const override { return true; }

    private:
        FakeNtApi& api_;
        std::string path_;
        std::size_t at_ = 0;
    };

    Expected<NtFacts> facts(const std::string& path) override
    {
        if (denied.count(path))
            return SysError{5, "denied", ErrorKind::AccessDenied};
        const std::string* data = item(path);
        if (!data)
            return notFound();
        return NtFacts{files[split(path).first].attributes, data->size()};
    }
    Expected<std::unique_ptr<NtHandle>> open(const std::string& path, Open how) override
    {
        auto [file, stream] = split(path);
        std::string* data = item(path);
        if ((how == Open::Read || how == Open::Truncate) && !data)
            return notFound();
        if (how == Open::CreateNew && data)
            return SysError{NtFileExists, "exists", ErrorKind::Other};
        if (how != Open::Read) {
            FakeFile& f = files[file];  // as CreateFileW, a stream of a missing file makes the file
            (stream.empty() ? f.data : f.streams[stream]).clear();
        }
        return std::unique_ptr<NtHandle>(std::make_unique<Handle>(*this, path));
    }
    std::optional<SysError> remove(const std::string& path) override
    {
        auto [file, stream] = split(path);
        if (!item(path))
            return notFound();
        if (stream.empty())
            files.erase(file);
        else
            files[file].streams.erase(stream);
        return std::nullopt;
    }
    std::optional<SysError> setAttributes(const std::string& path, std::uint32_t attributes) override
    {
        files.at(path).attributes = attributes;
        return std::nullopt;
    }
    std::optional<SysError> replace(const std::string& target, const std::string& replacement,
                                    const std::string& backup) override
    {
        FakeFile merged = files.at(replacement);
        for (const auto& [name, data] : files.at(target).streams)
            merged.streams.emplace(name, data);  // only those the replacement lacks
        if (replaceFailure == NtUnableToMoveReplacement2) {
            // The old file went to the backup name; the new one stayed where it was, merged.
            files[backup] = files.at(target);
            files.erase(target);
            files[replacement] = merged;
        }
        if (replaceFailure)
            return SysError{replaceFailure, "replace failed", ErrorKind::Other};
        files[backup] = files.at(target);
        files[target] = merged;
        files.erase(replacement);
        return std::nullopt;
    }
    std::optional<SysError> move(const std::string& from, const std::string& to) override
    {
        if (files.count(to))
            return SysError{183, "exists", ErrorKind::Other};
        files[to] = files.at(from);
        files.erase(from);
        return std::nullopt;
    }
    std::vector<StreamInfo> streams(const std::string& path) override
    {
        std::vector<StreamInfo> out;
        for (const auto& [name, data] : files.at(path).streams)
            out.push_back({name, data.size()});
        return out;
    }
    std::uint32_t processId() override { return 7; }
};

const std::string Target = "C:\\d\\doc.txt";

struct WriteCase {
    const char* name;
    ItemRef item;
    std::size_t writeBudget = SIZE_MAX;
    int replaceFailure = 0;
    std::uint32_t attributes = 0x22;  // hidden, archive
    bool succeeds = true;
    std::string data;                 // the target's data afterwards
    std::map<std::string, std::string> streams;
    std::uint32_t attributesAfter = 0x22;
};

class NtWrite : public testing::TestWithParam<WriteCase> {};

// Whatever happens, the target is old or new and nothing is left beside it.
TEST_P(NtWrite, LeavesTheTargetOldOrNewAndNothingBeside)
{
    const WriteCase& c = GetParam();
    auto api = std::make_shared<FakeNtApi>();
    api->files[Target] = FakeFile{"old", c.attributes, {{"keep", "k"}, {"notes", "n"}}};
    NtFileSystem fs(api);
    api->writeBudget = c.writeBudget;
    api->replaceFailure = c.replaceFailure;
    const auto error = fs.writeItem(c.item, "new data");
    EXPECT_EQ(!error, c.succeeds) << (error ? error->message : "");
    ASSERT_EQ(api->files.size(), 1u) << "left beside: " << std::prev(api->files.end())->first;
    const FakeFile& after = api->files.at(Target);
    EXPECT_EQ(after.data, c.data);
    EXPECT_EQ(after.streams, c.streams);
    EXPECT_EQ(after.attributes, c.attributesAfter);
}

const std::map<std::string, std::string> Old{{"keep", "k"}, {"notes", "n"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, NtWrite,
    testing::Values(
        WriteCase{"ReplacedFileKeepsStreamsAndAttributes", {Target, {}}, SIZE_MAX, 0, 0x22, true, "new data", Old},
        WriteCase{"CutOffFileWrite", {Target, {}}, 3, 0, 0x22, false, "old", Old},
        WriteCase{"ReplaceLeftOldAside", {Target, {}}, SIZE_MAX, NtUnableToMoveReplacement2, 0x22, false, "old", Old},
        WriteCase{"ReplaceFailed", {Target, {}}, SIZE_MAX, NtUnableToMoveReplacement, 0x22, false, "old", Old},
        WriteCase{"ReadOnlyRefused", {Target, {}}, SIZE_MAX, 0, 0x21, false, "old", Old, 0x21},
        WriteCase{"NewStream", {Target, "new"}, SIZE_MAX, 0, 0x22, true, "old",
                  {{"keep", "k"}, {"notes", "n"}, {"new", "new data"}}},
        WriteCase{"CutOffNewStreamGoes", {Target, "new"}, 3, 0, 0x22, false, "old", Old}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NtFiles, SaveAsBuildsBesideAndKeepsWhatTheNewFileLacks)
{
    auto api = std::make_shared<FakeNtApi>();
    api->files[Target] = FakeFile{"old", 0x80, {{"notes", "old n"}, {"keep", "k"}}};
    NtFileSystem fs(api);
    {
        auto pending = fs.createPending(Target);
        ASSERT_TRUE(pending.ok());
        const std::string building = pending.value()->path();
        ASSERT_FALSE(fs.writeItem({building, {}}, "whole"));
        ASSERT_FALSE(fs.writeItem({building, "notes"}, "new n"));
        EXPECT_EQ(api->files.at(Target).data, "old");  // nothing lands before the commit
        EXPECT_EQ(api->files.size(), 2u);              // and nothing beside the file being built
    }
    EXPECT_EQ(api->files.size(), 1u) << "an uncommitted save leaves nothing";
    EXPECT_EQ(api->files.at(Target).data, "old");

    auto pending = fs.createPending(Target);
    ASSERT_TRUE(pending.ok());
    ASSERT_FALSE(fs.writeItem({pending.value()->path(), {}}, "whole"));
    ASSERT_FALSE(fs.writeItem({pending.value()->path(), "notes"}, "new n"));
    ASSERT_FALSE(pending.value()->commit());
    pending.value().reset();
    ASSERT_EQ(api->files.size(), 1u);
    const auto expected = std::map<std::string, std::string>{{"notes", "new n"}, {"keep", "k"}};
    EXPECT_EQ(api->files.at(Target).streams, expected);
    EXPECT_EQ(fs.readItem({Target, {}}).value(), "whole");

    // A new target is moved into place.
    auto fresh = fs.createPending("C:\\d\\new.txt");
    ASSERT_FALSE(fs.writeItem({fresh.value()->path(), {}}, "n"));
    ASSERT_FALSE(fresh.value()->commit());
    EXPECT_EQ(api->files.at("C:\\d\\new.txt").data, "n");
}

TEST(NtFiles, MeaningOfAMissingPath)
{
    auto api = std::make_shared<FakeNtApi>();
    api->denied.insert("C:\\secret");
    NtFileSystem fs(api);
    EXPECT_TRUE(fs.pathExists("C:\\secret"));  // there, only not to be looked at
    ASSERT_TRUE(fs.pathError("C:\\gone"));
    EXPECT_EQ(fs.pathError("C:\\gone")->kind, ErrorKind::NotFound);
    // A stream of a missing file is not written: opening it would make the file.
    EXPECT_TRUE(fs.writeItem({"C:\\gone", "s"}, "x"));
    EXPECT_TRUE(api->files.empty());
}

// Each argument must come back whole from the program's own command-line parsing.
TEST(QuoteArgument, ComesBackWholeFromTheCommandLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"", "\"\""},
        {"a b", "\"a b\""},
        {"C:\\dir\\", "C:\\dir\\"},                      // no quote: backslashes mean themselves
        {"C:\\my dir\\", "\"C:\\my dir\\\\\""},         // doubled before the closing quote
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"a\\\"b", "\"a\\\\\\\"b\""},                   // backslash then quote
        {"日本 語.txt", "\"日本 語.txt\""},
    };
    for (const auto& [argument, quoted] : cases)
        EXPECT_EQ(QuoteArgument(argument), quoted) << argument;
}

}  // namespace
