#pragma once
// The detection tab "検出" as one widget that owns its parts: the folder pane, the result list with
// its icons, model, context menu and preview, the cancel button, and the window's side of the scan,
// which runs on a worker and hands its results over in batches. The window places the page on its
// tab, forwards its named handlers to it and hears through signals what concerns the rest of it:
// the status message, a result to load into the workspace, the end of a scan.

#include <QString>
#include <QWidget>

#include <chrono>
#include <memory>
#include <string>

#include "common/oplog.h"
#include "common/qt_icon_list.h"
#include "detect/qt_scan_worker.h"
#include "detect/scan.h"

class QAction;
class QMenu;
class QModelIndex;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;
class QTreeView;

namespace tessaly {

class Dialogs;
class FileSystem;
class FolderSystem;
class FolderTreeModel;
class PreviewPane;
class ScanResultModel;
enum class ExportFormat;

// What the page reaches the system through.
struct DetectionServices {
    std::shared_ptr<FolderSystem> folders;  // the scan's listings; the command line's when unset
    std::shared_ptr<FileSystem> fs;
    std::shared_ptr<FileSystem> previewFs;  // the preview's own; fs when unset
    std::shared_ptr<Dialogs> dialogs;
};

class DetectionPage final : public QWidget {
    Q_OBJECT

public:
    // log receives the page's own lines; lines takes the scan's lines, whole, in walk order.
    DetectionPage(DetectionServices services, OperationLog& log, LogSink& lines, QWidget* parent = nullptr);
    ~DetectionPage() override;

    // The handlers of the tab.
    // Folder pane click: the selected folder becomes the status message.
    void folderClicked();
    // Folder pane double-click: toggles the selected folder and scans it; nothing while one runs.
    void scanSelectedFolder();
    // Result list double-click, Enter: asks for the selected row's parent file (readIn).
    void readInSelected();
    // Every row's caption on the clipboard, one line each.
    void copyAll();
    // The result list written to a file chosen by the user, in the formats of "tessaly scan".
    void saveList(ExportFormat format);
    // Shows row (-1: nothing) in the preview below the list.
    void previewRow(int row);
    // The cancel button in the middle of the result list.
    void centerCancelButton();

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

    // The parts whose sizes the settings keep: folder pane | list, list / preview.
    QSplitter* folderSplitter() const { return Splitter1; }
    QWidget* folderPanel() const { return Panel4; }
    QSplitter* previewSplitter() const { return Splitter3; }
    PreviewPane* preview() const { return PreviewPane2; }

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

    // Between two updates of the list while a scan runs.
    std::chrono::milliseconds listInterval{250};
    // Between two showings of the scan's progress (status, counts, the folder read).
    std::chrono::milliseconds refreshInterval{50};

Q_SIGNALS:
    // The status message the page has to show.
    void statusChanged(const QString& text);
    // The user asked for the parent file of a result row (path) in the workspace.
    void readIn(const std::string& path);
    // A scan has started: nothing found yet.
    void started();
    // The scan's progress has been shown: counters, the current folder and perhaps new rows. At
    // most once a refreshInterval while it runs, and once at its end.
    void progressed();
    // The scan has returned, everything it found is shown and its summary is the status message.
    void finished();

protected:
    // Follows the mouse over the result list to keep its hot row; keeps the cancel button centred.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildFolderPane();
    void buildResultList();
    // Keeps what the worker found since the batch before.
    void take(const std::shared_ptr<ScanBatch>& batch);
    // Shows what the batches taken since the last time changed; the last time in full.
    void refresh(bool last);
    // The end of a scan: the summary, the list usable again.
    void endScan();
    void fitColumns();
    void applyPendingScrollX();

    DetectionServices services_;
    OperationLog& log_;
    LogSink& lines_;
    QSplitter* Splitter1 = nullptr;  // folder pane | list
    QWidget* Panel4 = nullptr;
    QWidget* Panel1 = nullptr;
    QSplitter* Splitter3 = nullptr;  // list / preview
    QTreeView* pane_ = nullptr;      // FolderPane
    QTableView* list_ = nullptr;     // ListView1
    PreviewPane* PreviewPane2 = nullptr;
    QPushButton* CancelBtn1 = nullptr;
    QMenu* PopupMenu4 = nullptr;
    QAction *ReadIn4 = nullptr, *CopyAll4 = nullptr, *SaveCsv4 = nullptr, *SaveJson4 = nullptr;
    FolderTreeModel* folderModel_ = nullptr;
    QtIconList imageList3_;
    ScanRows rows_;
    ScanCounters counters_;
    std::vector<ScanSkip> skipped_;
    std::string currentFolder_;
    ScanResultModel* model_ = nullptr;
    std::string scanFolder_;  // the folder of the last scan, as the log and the exports name it
    bool scanning_ = false;
    bool cancelRequested_ = false;
    std::chrono::steady_clock::time_point lastListUpdate_;
    std::chrono::steady_clock::time_point lastRefresh_;
    QTimer* refreshTimer_ = nullptr;  // shows the last batches when no other comes in time
    std::string progress_;            // the newest progress text, not yet shown
    int pendingScrollX_ = -1;  // the stored position, until the pane is wide enough to take it
    bool paneShown_ = false;
    std::unique_ptr<ScanWorker> worker_;  // last: its thread ends before the rest goes
};

}  // namespace tessaly
