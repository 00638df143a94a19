// Form1's detection tab: the page that does the work, the window's named handlers for it, and the
// load of a result into the workspace.

#include <QTabWidget>
#include <QTreeView>

#include "app/form1.h"
#include "common/qt_log_model.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "detect/qt_detection.h"
#include "detect/scan_export.h"
#include "streams/names.h"

namespace tessaly {

DetectionPage* Form1::buildDetectionPage()
{
    auto* page = new DetectionPage(DetectionServices{services_.folders, services_.fs, services_.previewFs, services_.dialogs},
                                   log_, *logLines_);
    connect(page, &DetectionPage::statusChanged, this, &Form1::setStatusText);
    connect(page, &DetectionPage::readIn, this, &Form1::loadFromDetectionList);
    connect(page, &DetectionPage::finished, this, &Form1::scanFinished);
    return page;
}

void Form1::createFolderPane()
{
    // A start folder that has gone is passed over: the pane opens without a selection.
    if (!detection_->folderPane()->currentIndex().isValid())
        detection_->selectFolder(settings_.initialFolder);
}

std::string Form1::folderPaneFolderBytes() const
{
    return detection_->selectedFolder();
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
    detection_->selectFolder(folder);
}

int Form1::folderPaneScrollX() const
{
    return detection_->scrollX();
}

void Form1::setFolderPaneScrollX(int value)
{
    detection_->setScrollX(value);
}

bool Form1::scanRunning() const
{
    return detection_->scanning();
}

void Form1::FolderPaneClick() { detection_->folderClicked(); }
void Form1::FolderPaneDblClick() { detection_->scanSelectedFolder(); }
void Form1::CancelBtn1Click() { detection_->cancelScan(); }
void Form1::ListView1DblClick() { detection_->readInSelected(); }
void Form1::CopyAll4Click() { detection_->copyAll(); }
void Form1::SaveCsv4Click() { detection_->saveList(ExportFormat::Csv); }
void Form1::SaveJson4Click() { detection_->saveList(ExportFormat::Json); }
void Form1::PreviewScanRow(int row) { detection_->previewRow(row); }
void Form1::CenterCancelButton() { detection_->centerCancelButton(); }

void Form1::scanFinished()
{
    if (closeWhenScanEnds_)
        close();
}

void Form1::loadFromDetectionList(const std::string& path)
{
    New1Click();
    log_.AppendLogLine(texts::LoadedFromDetectionList, path);
    editor().LoadIntoWorkspace(path);
    showWorkspace();
    PageControl1->setCurrentIndex(0);
    setStatusText(shownText(FinalNameComponent(path)) + tr8(texts::StatusLoaded));
}

}  // namespace tessaly
