#include "detect/qt_detection_aids.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include "common/numbers.h"
#include "common/qt_name_label.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "detect/qt_detection.h"
#include "detect/qt_scan_model.h"

namespace tessaly {

DetectionAids::DetectionAids(DetectionPage& pane)
    : QObject(&pane), pane_(pane), list_(pane.findChild<QTableView*>(QStringLiteral("ListView1")))
{
    setObjectName(QStringLiteral("DetectionAids"));

    // Enter starts the scan of the selected folder, as a double-click does; Esc anywhere on the
    // tab cancels a running one.
    auto* start = new QAction(tr8(texts::StartScan), pane.folderPane());
    start->setObjectName(QStringLiteral("StartScan4"));
    start->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    start->setShortcutContext(Qt::WidgetShortcut);
    connect(start, &QAction::triggered, &pane, &DetectionPage::scanSelectedFolder);
    pane.folderPane()->addAction(start);
    auto* cancel = new QAction(tr8(texts::CancelCaption), &pane);
    cancel->setObjectName(QStringLiteral("CancelScan4"));
    cancel->setShortcut(QKeySequence(Qt::Key_Escape));
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(cancel, &QAction::triggered, &pane, [&pane] {
        if (pane.scanning())
            pane.cancelScan();
    });
    pane.addAction(cancel);

    // Above the list: the filter, then the scan's strip (shown from the first scan on).
    auto* top = new QWidget;
    top->setObjectName(QStringLiteral("DetectionTools"));
    auto* rows = new QVBoxLayout(top);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(2);
    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(tr8(texts::FilterLabel));
    filter_ = new QLineEdit;
    filter_->setObjectName(QStringLiteral("Filter4"));
    filter_->setPlaceholderText(tr8(texts::FilterHint));
    filter_->setClearButtonEnabled(true);
    filterLabel->setBuddy(filter_);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(filter_, 1);
    rows->addLayout(filterRow);

    strip_ = new QWidget;
    strip_->setObjectName(QStringLiteral("ScanStrip4"));
    auto* stripRow = new QHBoxLayout(strip_);
    stripRow->setContentsMargins(0, 0, 0, 0);
    busy_ = new QProgressBar;
    busy_->setObjectName(QStringLiteral("ScanBusy4"));
    busy_->setRange(0, 0);  // the number of files ahead is not known: a moving bar
    busy_->setTextVisible(false);
    busy_->setFixedWidth(80);
    counts_ = new QLabel;
    counts_->setObjectName(QStringLiteral("ScanCounts4"));
    counts_->setTextFormat(Qt::PlainText);
    folder_ = new NameLabel(NameLabel::Fit::Elide);
    folder_->setObjectName(QStringLiteral("ScanFolder4"));
    stripRow->addWidget(busy_);
    stripRow->addWidget(counts_);
    stripRow->addWidget(folder_, 1);
    strip_->hide();
    rows->addWidget(strip_);

    auto* panel = pane.findChild<QWidget*>(QStringLiteral("Panel1"));
    static_cast<QVBoxLayout*>(panel->layout())->insertWidget(0, top);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        needle_ = text.trimmed();
        applyFilter(true);
    });
    connect(&pane, &DetectionPage::progressed, this, [this] {
        showProgress();
        applyFilter(false);
    });
    connect(&pane, &DetectionPage::finished, this, &DetectionAids::scanEnded);
    connect(&pane.model(), &QAbstractItemModel::modelReset, this, [this] {
        applied_ = 0;
        anyHidden_ = false;
    });
}

QString DetectionAids::countsText() const
{
    const ScanCounters& c = pane_.counters();
    const std::string separator = QLocale().groupSeparator().toStdString();
    const auto count = [&separator](std::int32_t n) { return tr8(FormatGrouped(std::uint64_t(std::max(n, 0)), separator)); };
    return tr8(texts::CountParents) + count(c.ParentsFound) + tr8(texts::CountChildren) + count(c.ChildrenFound) +
           tr8(texts::CountFiles) + count(c.FilesExamined);
}

void DetectionAids::showProgress()
{
    if (!pane_.scanning())
        return;
    strip_->show();
    busy_->show();
    counts_->setText(countsText());
    const std::string& folder = pane_.currentFolder();
    folder_->setText(folder.empty() ? QString() : tr8(texts::ReadingFolder) + shownText(folder));
}

void DetectionAids::scanEnded()
{
    // The counts stay until the next scan; the bar and the folder go with the scan.
    strip_->show();
    busy_->hide();
    counts_->setText(countsText());
    folder_->clear();
}

void DetectionAids::applyFilter(bool fromStart)
{
    const int shown = list_->model()->rowCount();
    if (needle_.isEmpty() && !anyHidden_) {
        applied_ = shown;
        return;
    }
    const ScanRows& rows = pane_.rows();
    int from = fromStart ? 0 : std::min(applied_, shown);
    while (from > 0 && !rows[std::size_t(from - 1)].isParent())
        --from;
    if (from > 0)
        --from;  // the parent row of the file the last rows belonged to
    bool hidden = false;
    for (int first = from; first < shown;) {
        int end = first + 1;
        while (end < shown && !rows[std::size_t(end)].isParent())
            ++end;
        bool match = needle_.isEmpty();
        for (int r = first; r < end && !match; ++r)
            match = shownText(rows[std::size_t(r)].caption).contains(needle_, Qt::CaseInsensitive);
        for (int r = first; r < end; ++r)
            if (list_->isRowHidden(r) == match)
                list_->setRowHidden(r, !match);
        hidden = hidden || !match;
        first = end;
    }
    anyHidden_ = fromStart ? hidden : anyHidden_ || hidden;
    applied_ = shown;
}

}  // namespace tessaly
