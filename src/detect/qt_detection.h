#pragma once
// The detection tab's working parts, owned by the main window: the folder pane, the result list's
// model and icons, and the window's side of the scan, which runs on a worker and hands its results
// over in batches.

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <string>

#include "common/oplog.h"
#include "common/qt_icon_list.h"
#include "detect/qt_scan_worker.h"
#include "detect/scan.h"

class QModelIndex;
class QTreeView;

namespace tessaly {

class Form1;
class FolderSystem;
class FolderTreeModel;
class LogView;
class ScanResultModel;

class DetectionPane final : public QObject {
    Q_OBJECT

public:
    explicit DetectionPane(Form1& form);
    ~DetectionPane() override;

    QTreeView* folderPane() const { return pane_; }
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
    const ScanRows& rows() const { return rows_; }
    const ScanCounters& counters() const { return counters_; }
    // What the last scan could not read, in walk order.
    const std::vector<ScanSkip>& skipped() const { return skipped_; }
    // The folder the running scan reads now; empty before the first one is heard of.
    const std::string& currentFolder() const { return currentFolder_; }
    ScanResultModel& model() { return *model_; }
    QtIconList& ImageList3() { return imageList3_; }
    ScanWorker& worker() { return *worker_; }

    // Empties the list, its icons and the counters.
    void clearResults();
    // Starts the scan of folder on the worker and returns; finished() follows its last batch.
    void startScan(const std::string& folder);
    // Asks the running scan to stop at its next entry.
    void cancelScan();
    bool cancelRequested() const { return cancelRequested_; }

    // Between two updates of the list: every update lays out all its rows again, so a long list is
    // updated less often.
    std::chrono::milliseconds listInterval{100};

Q_SIGNALS:
    // A batch of the scan has been shown: counters, the current folder and perhaps new rows.
    void progressed();
    // The scan has returned and everything it found is shown.
    void finished();

protected:
    // Follows the mouse over the result list to keep its hot row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows what the worker found since the batch before.
    void take(const std::shared_ptr<ScanBatch>& batch);
    void fitColumns();
    void applyPendingScrollX();

    Form1& form_;
    QTreeView* pane_ = nullptr;  // FolderPane
    QTreeView* list_ = nullptr;  // ListView1
    LogView* memo_ = nullptr;    // Memo1
    FolderTreeModel* folderModel_ = nullptr;
    std::shared_ptr<FolderSystem> folders_;
    QtIconList imageList3_;
    ScanRows rows_;
    ScanCounters counters_;
    std::vector<ScanSkip> skipped_;
    std::string currentFolder_;
    ScanResultModel* model_ = nullptr;
    bool scanning_ = false;
    bool cancelRequested_ = false;
    std::chrono::steady_clock::time_point lastListUpdate_;
    int pendingScrollX_ = -1;  // the stored position, until the pane is wide enough to take it
    bool paneShown_ = false;
    std::unique_ptr<ScanWorker> worker_;  // last: its thread ends before the rest goes
};

}  // namespace tessaly
