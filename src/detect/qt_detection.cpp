#include "detect/qt_detection.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "common/dialogs.h"
#include "common/qt_path_delegate.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "detect/qt_detection_aids.h"
#include "detect/qt_folder_model.h"
#include "detect/qt_scan_model.h"
#include "detect/scan_export.h"
#include "platform/cli_system.h"
#include "platform/system.h"
#include "streams/copy_item.h"
#include "streams/names.h"
#include "streams/qt_preview_pane.h"

namespace tessaly {

namespace {
template <class Handler>
QAction* makeAction(DetectionPage* page, const char* name, std::string_view caption, Handler handler)
{
    auto* action = new QAction(tr8(caption), page);
    action->setObjectName(QLatin1String(name));
    QObject::connect(action, &QAction::triggered, page, handler);
    return action;
}
}  // namespace

DetectionPage::DetectionPage(DetectionServices services, OperationLog& log, LogSink& lines, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), log_(log), lines_(lines)
{
    setObjectName(QStringLiteral("TabSheet4"));
    if (!services_.folders)
        services_.folders = MakeCliFolderSystem();
    worker_ = std::make_unique<ScanWorker>(services_.folders, services_.fs);
    connect(worker_.get(), &ScanWorker::batchReady, this, &DetectionPage::take, Qt::QueuedConnection);
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    connect(refreshTimer_, &QTimer::timeout, this, [this] {
        if (scanning_)
            refresh(false);
    });
    buildLayout();
    buildFolderPane();
    buildResultList();
    new DetectionAids(*this);
}

// Left to right: the folder pane in Panel4, the splitter, Panel1 with the result list above its
// preview and, while a scan runs, the cancel button over them.
void DetectionPage::buildLayout()
{
    auto* l4 = new QHBoxLayout(this);
    l4->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setOpaqueResize(true);
    Splitter1->setChildrenCollapsible(false);
    Panel4 = new QWidget;
    Panel4->setObjectName(QStringLiteral("Panel4"));
    auto* p4 = new QVBoxLayout(Panel4);
    p4->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* p1 = new QVBoxLayout(Panel1);
    p1->setContentsMargins(0, 0, 0, 0);
    list_ = new QTableView(Panel1);
    list_->setObjectName(QStringLiteral("ListView1"));
    // A table view takes appended rows in time proportional to their number; a tree view lays out
    // every row again, which at a hundred thousand rows holds the window up for a frame or more.
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setCornerButtonEnabled(false);
    list_->setTabKeyNavigation(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    PreviewPane2 = new PreviewPane(services_.previewFs ? services_.previewFs : services_.fs);
    PreviewPane2->setObjectName(QStringLiteral("PreviewPane2"));
    Splitter3 = new QSplitter(Qt::Vertical, Panel1);
    Splitter3->setObjectName(QStringLiteral("Splitter3"));
    Splitter3->setChildrenCollapsible(false);
    Splitter3->addWidget(list_);
    Splitter3->addWidget(PreviewPane2);
    Splitter3->setStretchFactor(0, 1);
    p1->addWidget(Splitter3);
    CancelBtn1 = new QPushButton(tr8(texts::CancelCaption), Panel1);
    CancelBtn1->setObjectName(QStringLiteral("CancelBtn1"));
    CancelBtn1->setFixedSize(177, 49);
    CancelBtn1->setCursor(Qt::PointingHandCursor);
    CancelBtn1->hide();
    connect(CancelBtn1, &QPushButton::clicked, this, &DetectionPage::cancelScan);
    Splitter1->addWidget(Panel4);
    Splitter1->addWidget(Panel1);
    Splitter1->setStretchFactor(1, 1);
    connect(Splitter1, &QSplitter::splitterMoved, this, &DetectionPage::centerCancelButton);
    l4->addWidget(Splitter1);
    Panel1->installEventFilter(this);
}

void DetectionPage::buildFolderPane()
{
    // The folder pane: folders only, hidden ones too, kept up to date with the disk (F5 reads
    // everything shown again).
    folderModel_ = new FolderTreeModel(*services_.folders, this);
    QWidget* panel = Panel4;
    auto* pane = new QTreeView(panel);
    pane->setObjectName(QStringLiteral("FolderPane"));
    pane->setModel(folderModel_);
    pane->setHeaderHidden(true);
    pane->header()->setStretchLastSection(false);
    pane->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    pane->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pane->setSelectionMode(QAbstractItemView::SingleSelection);
    // The double-click handler toggles the node itself, once.
    pane->setExpandsOnDoubleClick(false);
    pane->setToolTip(tr8(texts::FolderPaneHint));
    panel->layout()->addWidget(pane);
    pane_ = pane;
    connect(pane, &QTreeView::clicked, this, &DetectionPage::folderClicked);
    connect(pane, &QTreeView::doubleClicked, this, &DetectionPage::scanSelectedFolder);
    // Opening a folder reads it again, so that it never shows an old state.
    connect(pane, &QTreeView::expanded, this, [this](const QModelIndex& node) { folderModel_->refresh(node); });
    auto* refresh = new QAction(tr8(texts::FolderPaneRefresh), pane);
    refresh->setObjectName(QStringLiteral("FolderPaneRefresh"));
    refresh->setShortcut(QKeySequence(Qt::Key_F5));
    refresh->setShortcutContext(Qt::WidgetShortcut);
    connect(refresh, &QAction::triggered, folderModel_, &FolderTreeModel::refreshAll);
    pane->addAction(refresh);
    // A right click selects the folder under the pointer and offers the refresh.
    pane->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pane, &QTreeView::customContextMenuRequested, this, [pane, refresh](const QPoint& pos) {
        if (const QModelIndex node = pane->indexAt(pos); node.isValid())
            pane->setCurrentIndex(node);
        QMenu menu;
        menu.addAction(refresh);
        menu.exec(pane->viewport()->mapToGlobal(pos));
    });
    // The pane is laid out when the detection tab is first shown: only then can the selected
    // folder be brought into view and the stored horizontal position be applied (in that order:
    // bringing a node into view scrolls sideways too).
    pane->installEventFilter(this);
    connect(pane->horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { applyPendingScrollX(); });
    // Once the user scrolls sideways, the stored position has had its day.
    connect(pane->horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this] { pendingScrollX_ = -1; });
}

void DetectionPage::buildResultList()
{
    ReadIn4 = makeAction(this, "ReadIn4", texts::PopupReadIn, &DetectionPage::readInSelected);
    ReadIn4->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    CopyAll4 = makeAction(this, "CopyAll4", texts::PopupCopyAll, &DetectionPage::copyAll);
    SaveCsv4 = makeAction(this, "SaveCsv4", texts::PopupSaveCsv, [this] { saveList(ExportFormat::Csv); });
    SaveJson4 = makeAction(this, "SaveJson4", texts::PopupSaveJson, [this] { saveList(ExportFormat::Json); });
    PopupMenu4 = new QMenu(this);
    PopupMenu4->setObjectName(QStringLiteral("PopupMenu4"));
    PopupMenu4->addAction(ReadIn4);
    PopupMenu4->addSeparator();
    PopupMenu4->addAction(CopyAll4);
    PopupMenu4->addActions({SaveCsv4, SaveJson4});
    ReadIn4->setShortcutContext(Qt::WidgetShortcut);
    list_->addAction(ReadIn4);
    connect(list_, &QTableView::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu4->exec(list_->viewport()->mapToGlobal(pos)); });

    model_ = new ScanResultModel(rows_, imageList3_, this);
    model_->setStateImage(ApplicationIcon());
    connect(&imageList3_, &QtIconList::iconChanged, model_, &ScanResultModel::iconChanged);
    QTableView* list = list_;
    list->setModel(model_);
    model_->setFont(list->font());
    list->setIconSize(ScanResultModel::decorationSize());
    list->setItemDelegateForColumn(0, new PathElideDelegate(list));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    list->setMouseTracking(true);
    list->viewport()->setCursor(Qt::PointingHandCursor);
    list->viewport()->installEventFilter(this);
    list->horizontalHeader()->setSectionsClickable(false);
    list->horizontalHeader()->setSectionsMovable(false);
    list->horizontalHeader()->setStretchLastSection(false);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // One row height for all, from the font and the small images.
    list->verticalHeader()->setDefaultSectionSize(
        std::max(list->fontMetrics().height(), ScanResultModel::decorationSize().height()) + 4);
    fitColumns();
    connect(list, &QTableView::doubleClicked, this, &DetectionPage::readInSelected);
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { previewRow(current.isValid() ? current.row() : -1); });
}

DetectionPage::~DetectionPage() = default;

bool DetectionPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel1 && event->type() == QEvent::Resize)
        centerCancelButton();
    if (watched == pane_ && event->type() == QEvent::Show && !paneShown_) {
        paneShown_ = true;
        QTimer::singleShot(0, this, [this] {
            if (pane_->currentIndex().isValid())
                pane_->scrollTo(pane_->currentIndex());
            applyPendingScrollX();
        });
    }
    if (model_ && watched == list_->viewport()) {
        // One lookup of the row under the pointer per move: cheap however long the list is.
        if (event->type() == QEvent::MouseMove)
            model_->setHotRow(list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row());
        else if (event->type() == QEvent::Leave)
            model_->setHotRow(-1);
    }
    return QWidget::eventFilter(watched, event);
}

std::string DetectionPage::selectedFolder() const
{
    return folderModel_->path(pane_->currentIndex());
}

bool DetectionPage::selectFolder(const std::string& folder)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const QModelIndex node = folderModel_->indexOf(path);
    if (!node.isValid())
        return false;
    pane_->setCurrentIndex(node);
    pane_->scrollTo(node);
    return true;
}

void DetectionPage::refreshFolders()
{
    folderModel_->refreshAll();
}

void DetectionPage::toggle(const QModelIndex& node)
{
    QTreeView* pane = pane_;
    if (!pane->isExpanded(node)) {
        pane->expand(node);
        return;
    }
    // Collapse the descendants first, so that a later expansion shows one level only.
    std::vector<QModelIndex> pending{node};
    while (!pending.empty()) {
        const QModelIndex n = pending.back();
        pending.pop_back();
        for (int r = 0; r < folderModel_->rowCount(n); ++r) {
            const QModelIndex child = folderModel_->index(r, 0, n);
            if (pane->isExpanded(child))
                pending.push_back(child);
        }
        pane->collapse(n);
    }
}

int DetectionPage::scrollX() const
{
    // A stored position not yet applied (the tab was never shown) is still the one to keep.
    return pendingScrollX_ >= 0 ? pendingScrollX_ : pane_->horizontalScrollBar()->value();
}

void DetectionPage::setScrollX(int value)
{
    pendingScrollX_ = qMax(value, 0);
    if (paneShown_)
        applyPendingScrollX();
}

void DetectionPage::applyPendingScrollX()
{
    QScrollBar* bar = pane_->horizontalScrollBar();
    if (pendingScrollX_ < 0 || !paneShown_ || pendingScrollX_ > bar->maximum())
        return;
    bar->setValue(pendingScrollX_);
    pendingScrollX_ = -1;
}

void DetectionPage::clearResults()
{
    model_->clear([this] {
        rows_.clear();
        imageList3_.clear();
        counters_ = ScanCounters{};
        std::vector<ScanSkip>().swap(skipped_);
        currentFolder_.clear();
    });
    // The rows are gone, and with them what the preview showed.
    previewRow(-1);
    fitColumns();
}

void DetectionPage::startScan(const std::string& folder)
{
    scanning_ = true;
    cancelRequested_ = false;
    lastListUpdate_ = std::chrono::steady_clock::now() - listInterval;
    lastRefresh_ = std::chrono::steady_clock::now() - refreshInterval;
    progress_.clear();
    worker_->start(folder, pathBytes(QLocale().groupSeparator()));
    Q_EMIT started();
}

void DetectionPage::cancelScan()
{
    if (!scanning_)
        return;
    cancelRequested_ = true;
    worker_->cancel();
}

void DetectionPage::take(const std::shared_ptr<ScanBatch>& batch)
{
    std::size_t i = 0;
    std::vector<int> extensionIcons(batch->iconData.size(), -1);
    for (const std::vector<ScanRow>& block : batch->rows)
        for (const ScanRow& row : block) {
            const IconRequest& icon = batch->icons[i++];
            switch (icon.kind) {
            case IconRequest::Kind::Extension:
                // Looked up once a batch; the rows after that take the same entry.
                if (extensionIcons[icon.data] < 0)
                    extensionIcons[icon.data] = imageList3_.addForExtension(batch->iconData[icon.data]);
                else
                    imageList3_.addSameAs(extensionIcons[icon.data]);
                break;
            case IconRequest::Kind::Picture:
                // A picture that cannot be decoded after all is told in the log, as while loading.
                imageList3_.addIconImage(batch->iconData[icon.data], [this, caption = row.caption] {
                    log_.AppendLogLine(texts::IconImageError, caption);
                });
                break;
            case IconRequest::Kind::Empty:
                imageList3_.addEmpty();
                break;
            }
        }
    for (std::vector<ScanRow>& block : batch->rows)
        rows_.append(std::move(block));
    lines_.takeLines(std::move(batch->log));
    if (!batch->progress.empty())
        progress_ = std::move(batch->progress);
    counters_ = batch->counters;
    if (!batch->folder.empty())
        currentFolder_ = std::move(batch->folder);
    // Measured as they come, so that showing many rows at once costs only the insertion.
    model_->measureArrived();
    worker_->taken();

    if (batch->last) {
        skipped_ = std::move(batch->skipped);
        refresh(true);
        scanning_ = false;
        endScan();
        Q_EMIT finished();
        return;
    }
    // Batches come faster than anyone reads them: what they changed is shown every
    // refreshInterval, and every repaint and layout in between is saved for the walk.
    const auto since = std::chrono::steady_clock::now() - lastRefresh_;
    if (since >= refreshInterval)
        refresh(false);
    else if (!refreshTimer_->isActive())
        refreshTimer_->start(std::chrono::ceil<std::chrono::milliseconds>(refreshInterval - since));
}

void DetectionPage::refresh(bool last)
{
    refreshTimer_->stop();
    const auto now = std::chrono::steady_clock::now();
    lastRefresh_ = now;
    if (!progress_.empty()) {
        Q_EMIT statusChanged(QString::fromUtf8(progress_.data(), qsizetype(progress_.size())));
        progress_.clear();
    }
    // The newest rows reach the list a few times a second; each update costs what it adds.
    if (last || model_->rowCount() < 1000 || now - lastListUpdate_ >= listInterval) {
        lastListUpdate_ = now;
        if (model_->sync()) {
            fitColumns();
            // The newest row is a child row: keep it in view.
            list_->scrollToBottom();
        }
    }
    Q_EMIT progressed();
}

void DetectionPage::fitColumns()
{
    QHeaderView* header = list_->horizontalHeader();
    for (int c = 0; c < ScanResultModel::ColumnCount; ++c) {
        const int width = model_->columnWidth(c);
        if (header->sectionSize(c) != width)
            header->resizeSection(c, width);
    }
}

void DetectionPage::centerCancelButton()
{
    if (CancelBtn1->parentWidget() != Panel1)
        CancelBtn1->setParent(Panel1);
    CancelBtn1->move((list_->width() - CancelBtn1->width()) / 2 + list_->x(),
                     (Panel1->height() - CancelBtn1->height()) / 2);
    CancelBtn1->raise();
}

void DetectionPage::folderClicked()
{
    Q_EMIT statusChanged(shownText(selectedFolder()));
}

void DetectionPage::scanSelectedFolder()
{
    // A second scan started while one runs would mix both scans' rows in one list.
    if (scanning_)
        return;
    const QModelIndex node = pane_->currentIndex();
    if (!node.isValid())
        return;
    toggle(node);
    std::string folder = selectedFolder();
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');

    clearResults();
    list_->setEnabled(false);
    centerCancelButton();
    CancelBtn1->show();
    log_.AppendLogLine(texts::SearchInFolder, folder);
    scanFolder_ = folder;
    startScan(folder);
}

void DetectionPage::endScan()
{
    CancelBtn1->hide();
    if (counters_.Cancelled)
        log_.AppendLogLine(texts::SearchCancelled, scanFolder_);
    Q_EMIT statusChanged(pathText(ScanSummary(counters_, pathBytes(QLocale().groupSeparator()))));
    list_->setEnabled(true);
}

void DetectionPage::readInSelected()
{
    if (scanning_)
        return;
    const QModelIndexList selected = list_->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    int row = selected.front().row();
    while (row > 0 && !rows_[std::size_t(row)].isParent())
        --row;
    Q_EMIT readIn(rows_[std::size_t(row)].caption);
}

void DetectionPage::copyAll()
{
    // An empty list leaves the clipboard as it was.
    if (!rows_.empty()) {
        QString text;
        for (const ScanRow& row : rows_) {
            // One line per row: a line break inside a name would split its row in two.
            text += shownText(row.caption);
            text += QLatin1String("\r\n");
        }
        QGuiApplication::clipboard()->setText(text);
    }
    list_->clearSelection();
}

void DetectionPage::saveList(ExportFormat format)
{
    if (scanning_)
        return;
    const bool csv = format == ExportFormat::Csv;
    const QString chosen = services_.dialogs->getSaveFileName(
        window(), QString(), QStringLiteral("streams") + (csv ? QStringLiteral(".csv") : QStringLiteral(".json")),
        tr8(csv ? texts::FilterCsv : texts::FilterJson));
    if (chosen.isEmpty())
        return;
    const std::string path = pathBytes(chosen);
    const std::string document = ExportScanResult(format, scanFolder_, rows_, counters_, skipped_);

    // By the same rules as the save commands: an existing file takes the new document only once it
    // is whole, and keeps its streams, links, owner and mode.
    if (const std::optional<SysError> error = services_.fs->writeItem(ItemRef{path, {}}, document)) {
        const std::string shown = AbsolutePathText(pathBytes(QDir::currentPath()), path);
        services_.dialogs->showError(window(), shownText(CopyErrorText({CopyError::Side::Target, path, *error}, shown)));
        return;
    }
    log_.AppendLogLine(texts::DetectionListSaved, path);
    Q_EMIT statusChanged(shownText(FinalNameComponent(path)) + tr8(texts::StatusSaved));
}

void DetectionPage::previewRow(int row)
{
    if (row < 0 || std::size_t(row) >= rows_.size()) {
        PreviewPane2->clear();
        return;
    }
    // A child row is its parent row's path, ":" and the stream name: the pair is taken from the
    // rows, not from splitting the text again.
    int parent = row;
    while (parent > 0 && !rows_[std::size_t(parent)].isParent())
        --parent;
    const std::string& file = rows_[std::size_t(parent)].caption;
    const std::string& caption = rows_[std::size_t(row)].caption;
    ItemRef item{file, {}};
    if (row != parent && caption.size() > file.size() + 1)
        item.stream = caption.substr(file.size() + 1);
    PreviewPane2->showItem({caption, std::move(item), false, 0});
}

}  // namespace tessaly
