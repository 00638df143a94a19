#include "detect/qt_detection.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "app/form1.h"
#include "common/qt_log_view.h"
#include "common/qt_path_delegate.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "detect/qt_folder_model.h"
#include "detect/qt_scan_model.h"
#include "platform/cli_system.h"

namespace tessaly {

DetectionPane::DetectionPane(Form1& form)
    : QObject(&form),
      form_(form),
      list_(form.findChild<QTreeView*>(QStringLiteral("ListView1"))),
      memo_(form.findChild<LogView*>(QStringLiteral("Memo1"))),
      folders_(form.services().folders)
{
    setObjectName(QStringLiteral("DetectionPane"));
    if (!folders_)
        folders_ = MakeCliFolderSystem();
    worker_ = std::make_unique<ScanWorker>(folders_, form.services().fs);
    connect(worker_.get(), &ScanWorker::batchReady, this, &DetectionPane::take, Qt::QueuedConnection);

    // The folder pane: folders only, hidden ones too, kept up to date with the disk (F5 reads
    // everything shown again).
    folderModel_ = new FolderTreeModel(*folders_, this);
    auto* panel = form.findChild<QWidget*>(QStringLiteral("Panel4"));
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
    connect(pane, &QTreeView::clicked, &form, [&form] { form.FolderPaneClick(); });
    connect(pane, &QTreeView::doubleClicked, &form, [&form] { form.FolderPaneDblClick(); });
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

    // The result list.
    model_ = new ScanResultModel(rows_, imageList3_, this);
    model_->setStateImage(ApplicationIcon());
    connect(&imageList3_, &QtIconList::iconChanged, model_, &ScanResultModel::iconChanged);
    QTreeView* list = list_;
    list->setModel(model_);
    model_->setFont(list->font());
    list->setIconSize(ScanResultModel::decorationSize());
    list->setItemDelegateForColumn(0, new PathElideDelegate(list));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAllColumnsShowFocus(true);
    list->setSortingEnabled(false);
    list->setMouseTracking(true);
    list->viewport()->setCursor(Qt::PointingHandCursor);
    list->viewport()->installEventFilter(this);
    list->header()->setSectionsClickable(false);
    list->header()->setSectionsMovable(false);
    list->header()->setStretchLastSection(false);
    list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitColumns();
    connect(list, &QTreeView::doubleClicked, &form, [&form] { form.ListView1DblClick(); });
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, &form,
            [&form](const QModelIndex& current) { form.PreviewScanRow(current.isValid() ? current.row() : -1); });
}

DetectionPane::~DetectionPane() = default;

bool DetectionPane::eventFilter(QObject* watched, QEvent* event)
{
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
    return QObject::eventFilter(watched, event);
}

std::string DetectionPane::selectedFolder() const
{
    return folderModel_->path(pane_->currentIndex());
}

bool DetectionPane::selectFolder(const std::string& folder)
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

void DetectionPane::refreshFolders()
{
    folderModel_->refreshAll();
}

void DetectionPane::toggle(const QModelIndex& node)
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

int DetectionPane::scrollX() const
{
    // A stored position not yet applied (the tab was never shown) is still the one to keep.
    return pendingScrollX_ >= 0 ? pendingScrollX_ : pane_->horizontalScrollBar()->value();
}

void DetectionPane::setScrollX(int value)
{
    pendingScrollX_ = qMax(value, 0);
    if (paneShown_)
        applyPendingScrollX();
}

void DetectionPane::applyPendingScrollX()
{
    QScrollBar* bar = pane_->horizontalScrollBar();
    if (pendingScrollX_ < 0 || !paneShown_ || pendingScrollX_ > bar->maximum())
        return;
    bar->setValue(pendingScrollX_);
    pendingScrollX_ = -1;
}

void DetectionPane::clearResults()
{
    model_->clear([this] {
        rows_.clear();
        imageList3_.clear();
        counters_ = ScanCounters{};
        std::vector<ScanSkip>().swap(skipped_);
        currentFolder_.clear();
    });
    // The rows are gone, and with them what the preview showed.
    form_.PreviewScanRow(-1);
    fitColumns();
}

void DetectionPane::startScan(const std::string& folder)
{
    scanning_ = true;
    cancelRequested_ = false;
    lastListUpdate_ = std::chrono::steady_clock::now() - listInterval;
    worker_->start(folder, Form1::bytes(QLocale().groupSeparator()));
}

void DetectionPane::cancelScan()
{
    if (!scanning_)
        return;
    cancelRequested_ = true;
    worker_->cancel();
}

void DetectionPane::take(const std::shared_ptr<ScanBatch>& batch)
{
    for (std::size_t i = 0; i < batch->rows.size(); ++i) {
        ScanRow& row = batch->rows[i];
        const IconRequest& icon = batch->icons[i];
        switch (icon.kind) {
        case IconRequest::Kind::Extension:
            imageList3_.addForExtension(icon.data);
            break;
        case IconRequest::Kind::Picture:
            // A picture that cannot be decoded after all is told in the log, as while loading.
            imageList3_.addIconImage(icon.data, [this, caption = row.caption] {
                form_.log().AppendLogLine(texts::IconImageError, caption);
            });
            break;
        case IconRequest::Kind::Empty:
            imageList3_.addEmpty();
            break;
        }
        rows_.push_back(std::move(row));
    }
    if (!batch->logLines.empty() && memo_)
        memo_->appendLines(batch->logLines);
    if (!batch->progress.empty())
        form_.setStatusText(QString::fromUtf8(batch->progress.data(), qsizetype(batch->progress.size())));
    counters_ = batch->counters;
    if (!batch->folder.empty())
        currentFolder_ = std::move(batch->folder);

    // Measured as they come, so that showing many rows at once costs only the insertion.
    model_->measureArrived();
    // The list lays out all its rows again after rows are added: the longer it is, the rarer the
    // updates (ten a second up to 200,000 rows, two a second at a million).
    const auto now = std::chrono::steady_clock::now();
    const int shown = model_->rowCount();
    const auto interval = std::max<std::chrono::milliseconds>(listInterval, std::chrono::milliseconds(shown / 2000));
    if (batch->last || shown < 1000 || now - lastListUpdate_ >= interval) {
        lastListUpdate_ = now;
        if (model_->sync()) {
            fitColumns();
            // The newest row is a child row: keep it in view.
            list_->scrollToBottom();
        }
    }
    worker_->taken();
    Q_EMIT progressed();
    if (batch->last) {
        skipped_ = std::move(batch->skipped);
        scanning_ = false;
        Q_EMIT finished();
    }
}

void DetectionPane::fitColumns()
{
    QHeaderView* header = list_->header();
    for (int c = 0; c < ScanResultModel::ColumnCount; ++c) {
        const int width = model_->columnWidth(c);
        if (header->sectionSize(c) != width)
            header->resizeSection(c, width);
    }
}

}  // namespace tessaly
