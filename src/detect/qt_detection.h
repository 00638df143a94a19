#pragma once
// The detection tab's working parts, owned by the main window: the folder pane, the result list's
// model and icons, and the scan engine with the window side of its message pump.

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <string>

#include "common/oplog.h"
#include "common/qt_icon_list.h"
#include "detect/scan.h"

class QModelIndex;

namespace tessaly {

class Form1;
class FolderSystem;
class FolderTreeModel;
class LogView;
class ScanResultModel;

// Log lines of a scan, collected between pumps and handed to Memo1 in one append: a scan writes a
// line per row, and one append per line would dominate a large scan. Lines are handed over before
// the window handles any event, so they never come after a line that an event handler writes.
class BufferedMemoSink final : public LogSink {
public:
    explicit BufferedMemoSink(LogView*& memo) : memo_(memo) {}
    void appendLine(const std::string& line) override;
    void appendLine(std::string_view stamp, std::string_view phrase, std::string_view subject) override;
    void flush();
    int pendingLines() const { return pendingLines_; }

private:
    LogView*& memo_;
    std::string pending_;  // the batch's lines, separated by line breaks
    int pendingLines_ = 0;
};

class DetectionPane final : public QObject, private ScanView {
    Q_OBJECT

public:
    explicit DetectionPane(Form1& form);
    ~DetectionPane() override;

    // The selected folder's path; empty when none is selected.
    std::string selectedFolder() const;
    // Selects folder, reading the folders on the way; false when there is no such folder.
    bool selectFolder(const std::string& folder);
    // Reads every folder the pane shows again.
    void refreshFolders();
    // Expands a collapsed node one level; collapses an expanded one with everything below it.
    void toggle(const QModelIndex& node);
    int scrollX() const;
    void setScrollX(int value);

    bool scanning() const { return scanning_; }
    FolderScan& scan() { return *scan_; }
    ScanResultModel& model() { return *model_; }
    QtIconList& ImageList3() { return imageList3_; }

    // Empties the list, its icons and the counters and clears the cancel flag.
    void clearResults();
    // Runs the scan of folder; rows, log lines and progress are all shown when it returns.
    void runScan(const std::string& folder);

    // How long the scan works between two rounds of event handling, and between two updates of the
    // list. Every update of the list lays out all its rows again, so a long list is updated less often.
    std::chrono::milliseconds pumpInterval{12};
    std::chrono::milliseconds listInterval{100};
    // The log takes several times longer to show a line than the scan takes to find it: events are
    // handled after at most this many new lines, so that no turn of the event loop waits long.
    int pumpLines = 1000;

protected:
    // Follows the mouse over the result list to keep its hot row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pump() override;
    void idle() override { pump(); }
    void showProgress(const std::string& text) override;
    std::string formatModified(const LocalTime& time, bool withTime) override;
    // Brings the log and the status bar up to date with the scan, and the list when withList is set.
    void flush(bool withList = true);
    void fitColumns();
    void applyPendingScrollX();

    Form1& form_;
    FolderTreeModel* folderModel_ = nullptr;
    std::shared_ptr<FolderSystem> folders_;
    QtIconList imageList3_;
    BufferedMemoSink logSink_;
    OperationLog scanLog_;
    std::unique_ptr<FolderScan> scan_;
    ScanResultModel* model_ = nullptr;
    bool scanning_ = false;
    std::string progress_;
    bool progressChanged_ = false;
    std::chrono::steady_clock::time_point lastPump_;
    std::chrono::steady_clock::time_point lastListUpdate_;
    int pendingScrollX_ = -1;  // the stored position, until the pane is wide enough to take it
    bool paneShown_ = false;
};

}  // namespace tessaly
