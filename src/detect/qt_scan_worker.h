#pragma once
// The folder scan for the window, on a thread of its own. What the walk finds reaches the window in
// batches by queued signal, in walk order: the rows with the icons they ask for, the log lines, the
// progress text and the counters. The window thread only shows them and never waits on the disk.
// A batch leaves every few milliseconds; while the window has not yet taken the batches sent
// before, the walk waits, so it never runs far ahead of what is shown and a cancel reaches it
// within an entry or two.

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "detect/scan.h"

namespace tessaly {

class FileSystem;
class FolderSystem;

// The icon a row asked for, added to the window's own list when the row arrives.
struct IconRequest {
    enum class Kind : std::uint8_t { Extension, Picture, Empty };
    Kind kind = Kind::Empty;
    std::uint32_t data = 0;  // Extension, Picture: the extension or the icon file's bytes, in iconData
};

// What the walk found since the batch before.
struct ScanBatch {
    std::vector<std::vector<ScanRow>> rows;  // in blocks, as the scan filled them
    std::vector<IconRequest> icons;          // one per row, in row order
    std::vector<std::string> iconData;       // what the icons name; each extension once
    LogLines log;                            // the lines the walk wrote
    std::string progress;                    // the newest progress text; empty when it has not changed
    std::string folder;                      // the folder being read; empty when it has not changed
    ScanCounters counters;
    bool last = false;                       // the walk has returned
    std::vector<ScanSkip> skipped;           // with the last batch: what the scan could not read
};

class ScanWorker final : public QObject {
    Q_OBJECT

public:
    ScanWorker(std::shared_ptr<FolderSystem> folders, std::shared_ptr<FileSystem> fs, QObject* parent = nullptr);
    // A running walk is cancelled; its thread ends within the entry it is looking at.
    ~ScanWorker() override;

    // Starts the walk of folder; the window hears of it through batchReady, the last batch marked.
    void start(std::string folder, std::string groupSeparator);
    // Asks the walk to stop at the next entry.
    void cancel();
    // The window has shown a batch: the walk may send another.
    void taken();

    // How long the walk collects before it sends, at most how many log lines a batch holds, and how
    // many batches may wait for the window before the walk waits in turn. A batch also leaves as
    // soon as the scan has filled a block of rows, which then changes hands without a copy.
    std::chrono::milliseconds batchInterval{8};
    int batchLines = 2048;
    int batchesAhead = 2;

Q_SIGNALS:
    void batchReady(std::shared_ptr<tessaly::ScanBatch> batch);

private:
    class Run;
    void join();

    std::shared_ptr<FolderSystem> folders_;
    std::shared_ptr<FileSystem> fs_;
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable taken_;
    int waiting_ = 0;  // batches sent and not yet taken
};

}  // namespace tessaly
