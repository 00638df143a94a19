// Form1's detection tab: the folder pane, the scan it starts, the result list and its commands.

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>

#include "app/form1.h"
#include "common/dialogs.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "detect/qt_detection.h"
#include "detect/qt_detection_aids.h"
#include "detect/qt_scan_model.h"
#include "detect/scan_export.h"
#include "platform/system.h"
#include "streams/copy_item.h"
#include "streams/names.h"

namespace tessaly {

void Form1::createFolderPane()
{
    if (!detection_) {
        detection_ = new DetectionPane(*this);
        connect(detection_, &DetectionPane::finished, this, &Form1::scanFinished);
        new DetectionAids(*this, *detection_);
    }
    // A start folder that has gone is passed over: the pane opens without a selection.
    if (!detection_->folderPane()->currentIndex().isValid())
        detection_->selectFolder(settings_.initialFolder);
}

std::string Form1::folderPaneFolderBytes() const
{
    return detection_ ? detection_->selectedFolder() : settings_.initialFolder;
}

QString Form1::folderPaneFolder() const
{
    return qs(folderPaneFolderBytes());
}

void Form1::setFolderPaneFolder(const QString& folder)
{
    setFolderPaneFolder(bytes(folder));
}

void Form1::setFolderPaneFolder(const std::string& folder)
{
    if (!detection_)
        createFolderPane();
    detection_->selectFolder(folder);
}

int Form1::folderPaneScrollX() const
{
    return detection_ ? detection_->scrollX() : 0;
}

void Form1::setFolderPaneScrollX(int value)
{
    if (!detection_)
        createFolderPane();
    detection_->setScrollX(value);
}

bool Form1::scanRunning() const
{
    return detection_ && detection_->scanning();
}

void Form1::FolderPaneClick()
{
    setStatusText(shownText(detection_->selectedFolder()));
}

void Form1::FolderPaneDblClick()
{
    // A second scan started while one runs would mix both scans' rows in one list.
    if (!detection_ || detection_->scanning())
        return;
    const QModelIndex node = detection_->folderPane()->currentIndex();
    if (!node.isValid())
        return;
    detection_->toggle(node);
    std::string folder = detection_->selectedFolder();
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');

    detection_->clearResults();
    ListView1->setEnabled(false);
    CenterCancelButton();
    CancelBtn1->show();
    log_.AppendLogLine(texts::SearchInFolder, folder);
    scanFolder_ = folder;
    detection_->startScan(folder);
}

void Form1::scanFinished()
{
    CancelBtn1->hide();
    const ScanCounters& counters = detection_->counters();
    if (counters.Cancelled)
        log_.AppendLogLine(texts::SearchCancelled, scanFolder_);
    setStatusText(qs(ScanSummary(counters, bytes(QLocale().groupSeparator()))));
    ListView1->setEnabled(true);
    if (closeWhenScanEnds_)
        close();
}

void Form1::CancelBtn1Click()
{
    if (detection_)
        detection_->cancelScan();
}

void Form1::ListView1DblClick()
{
    if (!detection_ || detection_->scanning())
        return;
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const auto& rows = detection_->rows();
    int row = selected.front().row();
    while (row > 0 && !rows[std::size_t(row)].isParent())
        --row;
    const std::string path = rows[std::size_t(row)].caption;

    New1Click();
    log_.AppendLogLine(texts::LoadedFromDetectionList, path);
    editor().LoadIntoWorkspace(path);
    showWorkspace();
    PageControl1->setCurrentIndex(0);
    setStatusText(shownText(FinalNameComponent(path)) + tr8(texts::StatusLoaded));
}

void Form1::CopyAll4Click()
{
    if (!detection_)
        return;
    const auto& rows = detection_->rows();
    // An empty list leaves the clipboard as it was.
    if (!rows.empty()) {
        QString text;
        for (const ScanRow& row : rows) {
            // One line per row: a line break inside a name would split its row in two.
            text += shownText(row.caption);
            text += QLatin1String("\r\n");
        }
        QGuiApplication::clipboard()->setText(text);
    }
    ListView1->clearSelection();
}

void Form1::SaveCsv4Click()
{
    saveDetectionList(ExportFormat::Csv);
}

void Form1::SaveJson4Click()
{
    saveDetectionList(ExportFormat::Json);
}

void Form1::saveDetectionList(ExportFormat format)
{
    if (!detection_ || detection_->scanning())
        return;
    const bool csv = format == ExportFormat::Csv;
    const QString chosen = services().dialogs->getSaveFileName(
        this, QString(), QStringLiteral("streams") + (csv ? QStringLiteral(".csv") : QStringLiteral(".json")),
        tr8(csv ? texts::FilterCsv : texts::FilterJson));
    if (chosen.isEmpty())
        return;
    const std::string path = bytes(chosen);
    const std::string document = ExportScanResult(format, scanFolder_, detection_->rows(), detection_->counters(),
                                                  detection_->skipped());

    // By the same rules as the save commands: an existing file takes the new document only once it
    // is whole, and keeps its streams, links, owner and mode.
    if (const std::optional<SysError> error = services().fs->writeItem(ItemRef{path, {}}, document)) {
        const std::string shown = AbsolutePathText(bytes(QDir::currentPath()), path);
        services().dialogs->showError(this, shownText(CopyErrorText({CopyError::Side::Target, path, *error}, shown)));
        return;
    }
    log_.AppendLogLine(texts::DetectionListSaved, path);
    setStatusText(shownText(FinalNameComponent(path)) + tr8(texts::StatusSaved));
}

}  // namespace tessaly
