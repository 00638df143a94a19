#include "platform/windows/nt_files.h"

#include <utility>

namespace tessaly {

namespace {

// The attributes a file may be given back (read-only, hidden, system, archive, normal,
// temporary, offline, not indexed); the others belong to the file system.
constexpr std::uint32_t SettableAttributes = 0x1 | 0x2 | 0x4 | 0x20 | 0x80 | 0x100 | 0x1000 | 0x2000;

class HandleReader final : public ItemReader {
public:
    explicit HandleReader(std::unique_ptr<NtHandle> handle) : handle_(std::move(handle)) {}
    Expected<std::size_t> read(char* buffer, std::size_t size) override { return handle_->read(buffer, size); }

private:
    std::unique_ptr<NtHandle> handle_;
};

// Writes straight into the item. A stream is written so (NTFS cannot rename a stream over another
// one of the file), and so is a file being assembled for a save, which is nobody's yet. What this
// write created and could not finish is removed, so that no half stream is left behind.
class DirectWriter final : public ItemWriter {
public:
    DirectWriter(NtFileApi& api, std::unique_ptr<NtHandle> handle, std::string created)
        : api_(api), handle_(std::move(handle)), created_(std::move(created))
    {
    }
    ~DirectWriter() override
    {
        if (!done_ && !created_.empty()) {
            handle_.reset();
            api_.remove(created_);
        }
    }
    std::optional<SysError> write(std::string_view data) override { return handle_->write(data); }
    std::optional<SysError> finish() override
    {
        if (auto error = handle_->close())
            return error;
        done_ = true;
        return std::nullopt;
    }

private:
    NtFileApi& api_;
    std::unique_ptr<NtHandle> handle_;
    std::string created_;
    bool done_ = false;
};

// A plain file is written beside its target and takes its place only when complete.
class ReplacingWriter final : public ItemWriter {
public:
    ReplacingWriter(NtFileApi& api, std::unique_ptr<NtHandle> handle, std::string temp, std::string target)
        : api_(api), handle_(std::move(handle)), temp_(std::move(temp)), target_(std::move(target))
    {
    }
    ~ReplacingWriter() override
    {
        if (!done_) {
            handle_.reset();
            api_.remove(temp_);
        }
    }
    std::optional<SysError> write(std::string_view data) override { return handle_->write(data); }
    std::optional<SysError> finish() override
    {
        if (auto error = handle_->close())
            return error;
        if (auto error = NtFileSystem::PutInPlace(api_, target_, temp_))
            return error;
        done_ = true;
        return std::nullopt;
    }

private:
    NtFileApi& api_;
    std::unique_ptr<NtHandle> handle_;
    std::string temp_;
    std::string target_;
    bool done_ = false;
};

// A save-as builds its file, data and streams, under a name beside the target.
class NtPendingFile final : public PendingFile {
public:
    NtPendingFile(NtFileApi& api, std::shared_ptr<std::set<std::string>> pending, std::string temp, std::string target)
        : api_(api), pending_(std::move(pending)), temp_(std::move(temp)), target_(std::move(target))
    {
        pending_->insert(temp_);
    }
    ~NtPendingFile() override
    {
        pending_->erase(temp_);
        if (!done_)
            api_.remove(temp_);  // its streams go with it
    }
    const std::string& path() const override { return temp_; }
    std::optional<SysError> commit() override
    {
        if (auto error = NtFileSystem::PutInPlace(api_, target_, temp_))
            return error;
        done_ = true;
        return std::nullopt;
    }

private:
    NtFileApi& api_;
    std::shared_ptr<std::set<std::string>> pending_;
    std::string temp_;
    std::string target_;
    bool done_ = false;
};

SysError notAFile()
{
    return SysError{1, "not a file on a disk (a pipe, console or device is not read)", ErrorKind::Other};
}

// A target that may not be replaced: read-only, or a folder.
std::optional<SysError> refusedTarget(const Expected<NtFacts>& facts)
{
    if (!facts.ok())
        return std::nullopt;
    if (facts.value().attributes & NtReadOnly)
        return SysError{5, "the file is read-only", ErrorKind::AccessDenied};
    if (facts.value().attributes & NtDirectory)
        return SysError{5, "a folder is not a file", ErrorKind::AccessDenied};
    return std::nullopt;
}

}  // namespace

std::optional<SysError> NtFileSystem::PutInPlace(NtFileApi& api, const std::string& target, const std::string& replacement)
{
    const auto old = api.facts(target);
    if (!old.ok()) {
        if (old.error().kind != ErrorKind::NotFound)
            return old.error();
        // A new file. Whatever appeared under the name meanwhile is not replaced.
        return api.move(replacement, target);
    }
    // Given a name for the old file on the way, ReplaceFileW leaves both names as they were when
    // it cannot finish; without one, a failed rename can leave no file under the target's name.
    std::string backup;
    for (unsigned attempt = 0; backup.empty(); ++attempt) {
        std::string name = target + ".tessaly-old-" + std::to_string(api.processId()) + "-" + std::to_string(attempt);
        const auto taken = api.facts(name);
        if (!taken.ok() && taken.error().kind == ErrorKind::NotFound)
            backup = std::move(name);
        else if (attempt >= 100)
            return taken.ok() ? SysError{NtFileExists, "no free name beside the file", ErrorKind::Other} : taken.error();
    }
    // The replaced file's access list, named streams the new one lacks, creation time and short
    // name carry over; a merge that fails (no right to write the access list) fails the whole.
    if (auto error = api.replace(target, replacement, backup)) {
        // The old file is left under the backup name: it goes back.
        if (error->code == NtUnableToMoveReplacement2)
            api.move(backup, target);
        return error;
    }
    // The attributes (hidden, system, archive...) are the old file's, as a file saved over keeps
    // them.
    api.setAttributes(target, old.value().attributes & SettableAttributes);
    api.remove(backup);
    return std::nullopt;
}

Expected<std::pair<std::string, std::unique_ptr<NtHandle>>> NtFileSystem::besideTarget(const std::string& target,
                                                                                     std::string_view kind)
{
    // In the same folder, so that it can take the target's place.
    for (unsigned attempt = 0;; ++attempt) {
        std::string temp = target + ".tessaly-" + std::string(kind) + "-" + std::to_string(api_->processId()) + "-" +
                           std::to_string(attempt);
        auto handle = api_->open(temp, NtFileApi::Open::CreateNew);
        if (handle.ok())
            return std::make_pair(std::move(temp), std::move(handle.value()));
        if (handle.error().code != NtFileExists || attempt >= 100)
            return handle.error();
    }
}

std::vector<StreamInfo> NtFileSystem::listStreams(const std::string& path)
{
    return api_->streams(path);
}

std::uint64_t NtFileSystem::fileSizeOf(const std::string& path)
{
    const auto facts = api_->facts(path);
    return facts.ok() ? facts.value().size : 0;
}

bool NtFileSystem::pathExists(const std::string& path)
{
    return !pathError(path);
}

std::optional<SysError> NtFileSystem::pathError(const std::string& path)
{
    const auto facts = api_->facts(path);
    // A file that may not be looked at still exists: its error is "access denied", not "not found".
    if (facts.ok() || facts.error().kind == ErrorKind::AccessDenied)
        return std::nullopt;
    return facts.error();
}

bool NtFileSystem::streamExists(const std::string& file, const std::string& stream)
{
    const auto facts = api_->facts(file + ":" + stream);
    return facts.ok() && !(facts.value().attributes & NtDirectory);
}

Expected<std::string> NtFileSystem::readItem(const ItemRef& item)
{
    auto reader = openRead(item);
    if (!reader.ok())
        return reader.error();
    std::string data;
    std::string buffer(65536, '\0');
    for (;;) {
        auto got = reader.value()->read(buffer.data(), buffer.size());
        if (!got.ok())
            return got.error();
        if (got.value() == 0)
            return data;
        data.append(buffer, 0, got.value());
    }
}

std::optional<SysError> NtFileSystem::writeItem(const ItemRef& item, std::string_view data)
{
    return writeThroughWriter(item, data);
}

Expected<std::unique_ptr<ItemReader>> NtFileSystem::openRead(const ItemRef& item)
{
    auto handle = api_->open(item.text(), NtFileApi::Open::Read);
    if (!handle.ok())
        return handle.error();
    // A pipe, console or device never ends or blocks: only files on a disk are read.
    if (!handle.value()->onDisk())
        return notAFile();
    return std::unique_ptr<ItemReader>(std::make_unique<HandleReader>(std::move(handle.value())));
}

Expected<std::unique_ptr<ItemWriter>> NtFileSystem::openWrite(const ItemRef& item)
{
    const bool assembling = pending_->count(item.file) != 0;
    if (item.isStream()) {
        // Opening "file:stream" of a missing file would make the file too.
        if (auto error = pathError(item.file))
            return *error;
        const std::string path = item.text();
        // Whether the stream is new decides what an unfinished write leaves: a new one goes again.
        const bool existed = api_->facts(path).ok();
        auto handle = api_->open(path, NtFileApi::Open::CreateAlways);
        if (!handle.ok())
            return handle.error();
        return std::unique_ptr<ItemWriter>(
            std::make_unique<DirectWriter>(*api_, std::move(handle.value()), existed ? std::string() : path));
    }
    if (assembling) {
        auto handle = api_->open(item.file, NtFileApi::Open::Truncate);
        if (!handle.ok())
            return handle.error();
        return std::unique_ptr<ItemWriter>(std::make_unique<DirectWriter>(*api_, std::move(handle.value()), std::string()));
    }
    if (auto refused = refusedTarget(api_->facts(item.file)))
        return *refused;
    auto temp = besideTarget(item.file, "save");
    if (!temp.ok())
        return temp.error();
    return std::unique_ptr<ItemWriter>(std::make_unique<ReplacingWriter>(*api_, std::move(temp.value().second),
                                                                         std::move(temp.value().first), item.file));
}

Expected<std::unique_ptr<PendingFile>> NtFileSystem::createPending(const std::string& target)
{
    if (auto refused = refusedTarget(api_->facts(target)))
        return *refused;
    auto temp = besideTarget(target, "save");
    if (!temp.ok())
        return temp.error();
    if (auto error = temp.value().second->close()) {
        api_->remove(temp.value().first);
        return *error;
    }
    return std::unique_ptr<PendingFile>(std::make_unique<NtPendingFile>(*api_, pending_, std::move(temp.value().first), target));
}

}  // namespace tessaly
