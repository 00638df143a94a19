// Runs one save command on real files in a process of its own, so that tests can run it as an
// ordinary user or kill it part-way.
//
//   save_probe save|saveas|saveone TARGET SELECTED PARENT [CHILD...]
//
// TARGET is ignored by "save"; SELECTED is the node that "saveone" saves (0 the parent). With
// TESSALY_PROBE_PAUSE=BYTES set, the sources are read a piece at a time, and the probe stops itself
// (SIGSTOP) once it has read that many bytes of one source, so that a test finds the save in the
// middle however fast the machine is. Prints "ok" or "error SIDE CODE PATH"; exit status 0 or 1.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/oplog.h"
#include "platform/linux/linux_filesystem.h"
#include "streams/saving.h"
#include "streams/workspace.h"
#include "support/fake_filesystem.h"

using namespace tessaly;

namespace {

class PausingReader final : public ItemReader {
public:
    PausingReader(std::unique_ptr<ItemReader> inner, std::uint64_t pauseAt) : inner_(std::move(inner)), pauseAt_(pauseAt) {}
    Expected<std::size_t> read(char* buffer, std::size_t size) override
    {
        // Everything read so far has been written: the copy writes each piece before the next read.
        if (!paused_ && read_ >= pauseAt_) {
            paused_ = true;
            ::raise(SIGSTOP);
        }
        auto got = inner_->read(buffer, size);
        if (got.ok())
            read_ += got.value();
        return got;
    }
    std::optional<std::uint64_t> size() const override { return inner_->size(); }

private:
    std::unique_ptr<ItemReader> inner_;
    std::uint64_t pauseAt_, read_ = 0;
    bool paused_ = false;
};

// The real file layer; only reading goes through the pausing reader (and so is not handed to the
// kernel whole).
class PausingFileSystem final : public FileSystem {
public:
    std::vector<StreamInfo> listStreams(const std::string& p) override { return fs.listStreams(p); }
    std::uint64_t fileSizeOf(const std::string& p) override { return fs.fileSizeOf(p); }
    bool pathExists(const std::string& p) override { return fs.pathExists(p); }
    bool streamExists(const std::string& f, const std::string& s) override { return fs.streamExists(f, s); }
    Expected<std::string> readItem(const ItemRef& i) override { return fs.readItem(i); }
    std::optional<SysError> writeItem(const ItemRef& i, std::string_view d) override { return fs.writeItem(i, d); }
    std::string resolveLink(const std::string& p) override { return fs.resolveLink(p); }
    bool sameFile(const std::string& a, const std::string& b) override { return fs.sameFile(a, b); }
    Expected<std::unique_ptr<ItemReader>> openCopy(const ItemRef& i) override { return fs.openCopy(i); }
    Expected<std::unique_ptr<ItemWriter>> openWrite(const ItemRef& i) override { return fs.openWrite(i); }
    Expected<std::unique_ptr<PendingFile>> createPending(const std::string& t) override { return fs.createPending(t); }
    Expected<std::unique_ptr<ItemReader>> openRead(const ItemRef& i) override
    {
        auto reader = fs.openRead(i);
        if (!reader.ok())
            return reader.error();
        return std::unique_ptr<ItemReader>(std::make_unique<PausingReader>(std::move(reader.value()), pauseAt));
    }
    LinuxFileSystem fs;
    std::uint64_t pauseAt = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s save|saveas|saveone TARGET SELECTED PARENT [CHILD...]\n", argv[0]);
        return 2;
    }
    const std::string command = argv[1];
    const std::string target = argv[2];
    const int selected = std::atoi(argv[3]);
    LinuxFileSystem plain;
    PausingFileSystem pausing;
    const char* pauseAt = std::getenv("TESSALY_PROBE_PAUSE");
    if (pauseAt)
        pausing.pauseAt = std::strtoull(pauseAt, nullptr, 10);
    FileSystem& fs = pauseAt ? static_cast<FileSystem&>(pausing) : plain;
    test::RecordingSink sink;
    OperationLog log(sink);
    test::FakeIconList icons;
    Workspace ws;
    WorkspaceEditor editor(ws, fs, icons, log);
    for (int i = 4; i < argc; ++i)
        editor.LoadIntoWorkspace(argv[i]);
    ws.select(selected);
    std::puts("started");
    std::fflush(stdout);

    SaveOutcome outcome;
    if (command == "save")
        outcome = SaveWhole(editor);
    else if (command == "saveas")
        outcome = SaveWholeAs(editor, target);
    else
        outcome = SaveSelectedAs(editor, target);
    if (outcome.error) {
        std::printf("error %s %d %s\n", outcome.error->side == CopyError::Side::Source ? "source" : "target",
                    outcome.error->error.code, outcome.error->path.c_str());
        return 1;
    }
    std::puts("ok");
    return 0;
}
