#include "detect/qt_detection.h"

#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFile>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTime>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/form1.h"
#include "app/qt_text.h"
#include "app/texts.h"
#include "detect/qt_scan_model.h"
#include "platform/linux/linux_folders.h"

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
    if (!pending_.empty())
        pending_.push_back('\n');
    pending_.append(line);
}

void BufferedMemoSink::flush()
{
    if (pending_.empty())
        return;
    // A line break never falls inside a character, so the batch decodes as its lines would.
    if (memo_)
        memo_->appendPlainText(Form1::qs(pending_));
    pending_.clear();
}

DetectionPane::DetectionPane(Form1& form)
    : QObject(&form), form_(form), folders_(form.services().folders), logSink_(form.Memo1), scanLog_(logSink_)
{
    setObjectName(QStringLiteral("DetectionPane"));
    if (!folders_)
        folders_ = std::make_shared<LinuxFolderSystem>();
    scan_ = std::make_unique<FolderScan>(*folders_, *form.services().fs, imageList3_, scanLog_,
                                         static_cast<ScanView&>(*this));
    scan_->setGroupSeparator(Form1::bytes(QLocale().groupSeparator()));

    // The folder pane: folders only, hidden ones too, not refreshed behind the user's back.
    folderModel_ = new QFileSystemModel(this);
    folderModel_->setOption(QFileSystemModel::DontWatchForChanges);
    folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    folderModel_->setReadOnly(true);
    folderModel_->setRootPath(QDir::rootPath());
    auto* pane = new QTreeView(form.Panel4);
    pane->setObjectName(QStringLiteral("FolderPane"));
    pane->setModel(folderModel_);
    for (int c = 1; c < folderModel_->columnCount(); ++c)
        pane->hideColumn(c);
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
    // The folders are read and sorted in the background: rows that arrive after a folder was
    // selected would push it out of view, so it is kept in view until the user takes over.
    const auto keepInView = [this] {
        if (keepSelectionInView_)
            form_.FolderPane->scrollTo(form_.FolderPane->currentIndex());
    };
    connect(folderModel_, &QAbstractItemModel::rowsInserted, this, keepInView);
    connect(folderModel_, &QAbstractItemModel::layoutChanged, this, keepInView);
    connect(folderModel_, &QFileSystemModel::directoryLoaded, this, keepInView);
    connect(pane, &QTreeView::pressed, this, [this] { keepSelectionInView_ = false; });
    connect(pane->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { keepSelectionInView_ = false; });
    connect(pane->horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int max) {
        // A position read from the settings is applied once the pane is wide enough to take it.
        if (pendingScrollX_ >= 0 && pendingScrollX_ <= max) {
            form_.FolderPane->horizontalScrollBar()->setValue(pendingScrollX_);
            pendingScrollX_ = -1;
        }
    });

    // The result list.
    model_ = new ScanResultModel(scan_->rows(), imageList3_, this);
    model_->setStateImage(ApplicationIcon());
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
    if (model_ && watched == form_.ListView1->viewport()) {
        // One lookup of the row under the pointer per move: cheap however long the list is.
        if (event->type() == QEvent::MouseMove)
            model_->setHotRow(form_.ListView1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row());
        else if (event->type() == QEvent::Leave)
            model_->setHotRow(-1);
    }
    return QObject::eventFilter(watched, event);
}

QString DetectionPane::selectedFolder() const
{
    const QModelIndex node = form_.FolderPane->currentIndex();
    return node.isValid() ? folderModel_->filePath(node) : QString();
}

bool DetectionPane::selectFolder(const QString& folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path.isEmpty())
        return false;
    const QModelIndex node = folderModel_->index(path);
    if (!node.isValid() || !folderModel_->isDir(node))
        return false;
    form_.FolderPane->setCurrentIndex(node);
    form_.FolderPane->scrollTo(node);
    keepSelectionInView_ = true;
    return true;
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
    return form_.FolderPane->horizontalScrollBar()->value();
}

void DetectionPane::setScrollX(int value)
{
    QScrollBar* bar = form_.FolderPane->horizontalScrollBar();
    bar->setValue(value);
    pendingScrollX_ = bar->value() == value ? -1 : value;
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
    if (now - lastPump_ < pumpInterval)
        return;
    const bool withList = now - lastListUpdate_ >= listInterval || form_.ListView1->model()->rowCount() < 1000;
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
