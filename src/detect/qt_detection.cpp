#include "detect/qt_detection.h"

#include <QCoreApplication>
#include <QDate>
#include <QAction>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTime>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "app/form1.h"
#include "app/qt_log_view.h"
#include "app/qt_text.h"
#include "app/texts.h"
#include "detect/qt_folder_model.h"
#include "detect/qt_scan_model.h"
#include "platform/cli_system.h"

namespace tessaly {

namespace {


// The locale's long time format without its time-zone field: the list shows wall-clock times.
QString longTimeFormat(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out.append(c);
    }
    return out.trimmed();
}

}  // namespace

void BufferedMemoSink::appendLine(const std::string& line)
{
    appendLine(line, {}, {});
}

void BufferedMemoSink::appendLine(std::string_view stamp, std::string_view phrase, std::string_view subject)
{
    if (!pending_.empty())
        pending_.push_back('\n');
    pending_.append(stamp).append(phrase).append(subject);
    ++pendingLines_;
}

void BufferedMemoSink::flush()
{
    if (pending_.empty())
        return;
    if (memo_)
        memo_->appendLines(pending_);
    pending_.clear();
    pendingLines_ = 0;
}

DetectionPane::DetectionPane(Form1& form)
    : QObject(&form), form_(form), folders_(form.services().folders), logSink_(form.Memo1), scanLog_(logSink_)
{
    setObjectName(QStringLiteral("DetectionPane"));
    if (!folders_)
        folders_ = MakeCliFolderSystem();
    scan_ = std::make_unique<FolderScan>(*folders_, *form.services().fs, imageList3_, scanLog_,
                                         static_cast<ScanView&>(*this));
    scan_->setGroupSeparator(Form1::bytes(QLocale().groupSeparator()));
    scan_->setWorkers(FolderScan::WindowWorkers());

    // The folder pane: folders only, hidden ones too, kept up to date with the disk (F5 reads
    // everything shown again).
    folderModel_ = new FolderTreeModel(*folders_, this);
    auto* pane = new QTreeView(form.Panel4);
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
    form.Panel4->layout()->addWidget(pane);
    form.FolderPane = pane;
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
    model_ = new ScanResultModel(scan_->rows(), imageList3_, this);
    model_->setStateImage(ApplicationIcon());
    connect(&imageList3_, &QtIconList::iconChanged, model_, &ScanResultModel::iconChanged);
    QTreeView* list = form.ListView1;
    list->setModel(model_);
    model_->setFont(list->font());
    list->setIconSize(ScanResultModel::decorationSize());
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
    if (watched == form_.FolderPane && event->type() == QEvent::Show && !paneShown_) {
        paneShown_ = true;
        QTimer::singleShot(0, this, [this] {
            if (form_.FolderPane->currentIndex().isValid())
                form_.FolderPane->scrollTo(form_.FolderPane->currentIndex());
            applyPendingScrollX();
        });
    }
    if (model_ && watched == form_.ListView1->viewport()) {
        // One lookup of the row under the pointer per move: cheap however long the list is.
        if (event->type() == QEvent::MouseMove)
            model_->setHotRow(form_.ListView1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row());
        else if (event->type() == QEvent::Leave)
            model_->setHotRow(-1);
    }
    return QObject::eventFilter(watched, event);
}

std::string DetectionPane::selectedFolder() const
{
    return folderModel_->path(form_.FolderPane->currentIndex());
}

bool DetectionPane::selectFolder(const std::string& folder)
{
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const QModelIndex node = folderModel_->indexOf(path);
    if (!node.isValid())
        return false;
    form_.FolderPane->setCurrentIndex(node);
    form_.FolderPane->scrollTo(node);
    return true;
}

void DetectionPane::refreshFolders()
{
    folderModel_->refreshAll();
}

void DetectionPane::toggle(const QModelIndex& node)
{
    QTreeView* pane = form_.FolderPane;
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
    return pendingScrollX_ >= 0 ? pendingScrollX_ : form_.FolderPane->horizontalScrollBar()->value();
}

void DetectionPane::setScrollX(int value)
{
    pendingScrollX_ = qMax(value, 0);
    if (paneShown_)
        applyPendingScrollX();
}

void DetectionPane::applyPendingScrollX()
{
    QScrollBar* bar = form_.FolderPane->horizontalScrollBar();
    if (pendingScrollX_ < 0 || !paneShown_ || pendingScrollX_ > bar->maximum())
        return;
    bar->setValue(pendingScrollX_);
    pendingScrollX_ = -1;
}

void DetectionPane::clearResults()
{
    model_->clear([this] { scan_->reset(); });
    // The rows are gone, and with them what the preview showed.
    form_.PreviewScanRow(-1);
    progress_.clear();
    progressChanged_ = false;
    fitColumns();
}

void DetectionPane::runScan(const std::string& folder)
{
    scanning_ = true;
    // The first round of event handling comes at the first entry, so the disabled list and the
    // cancel button are drawn at once.
    lastPump_ = std::chrono::steady_clock::now() - pumpInterval;
    lastListUpdate_ = lastPump_ - listInterval;
    scan_->ScanFolder(folder);
    flush();
    scanning_ = false;
}

void DetectionPane::pump()
{
    const auto now = std::chrono::steady_clock::now();
    // Two calls per entry: handling events on every one would cost more than the scan itself.
    if (now - lastPump_ < pumpInterval && logSink_.pendingLines() < pumpLines)
        return;
    // The list lays out all its rows again after rows are added: the longer it is, the rarer the
    // updates (ten a second up to 200,000 rows, two a second at a million).
    const int rows = form_.ListView1->model()->rowCount();
    const auto interval = std::max<std::chrono::milliseconds>(listInterval, std::chrono::milliseconds(rows / 2000));
    const bool withList = now - lastListUpdate_ >= interval || rows < 1000;
    flush(withList);
    QCoreApplication::processEvents();
    lastPump_ = std::chrono::steady_clock::now();
    if (withList)
        lastListUpdate_ = lastPump_;
}

void DetectionPane::showProgress(const std::string& text)
{
    progress_ = text;
    progressChanged_ = true;
}

std::string DetectionPane::formatModified(const LocalTime& time, bool withTime)
{
    const QLocale locale;
    QString text = locale.toString(QDate(time.year, time.month, time.day), QLocale::ShortFormat);
    if (withTime) {
        static const QString format = longTimeFormat(locale);
        text += QLatin1Char(' ') + locale.toString(QTime(time.hour, time.minute, time.second), format);
    }
    return text.toStdString();
}

void DetectionPane::flush(bool withList)
{
    if (withList && model_->sync()) {
        fitColumns();
        // The newest row is a child row: keep it in view.
        form_.ListView1->scrollToBottom();
    }
    logSink_.flush();
    if (progressChanged_) {
        form_.setStatusText(QString::fromUtf8(progress_.data(), qsizetype(progress_.size())));
        progressChanged_ = false;
    }
}

void DetectionPane::fitColumns()
{
    QHeaderView* header = form_.ListView1->header();
    for (int c = 0; c < ScanResultModel::ColumnCount; ++c) {
        const int width = model_->columnWidth(c);
        if (header->sectionSize(c) != width)
            header->resizeSection(c, width);
    }
}

}  // namespace tessaly
