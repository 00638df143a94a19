#include "detect/qt_detection_aids.h"

#include <QAction>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QStyle>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "common/numbers.h"
#include "common/qt_name_label.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "detect/qt_detection.h"
#include "detect/qt_scan_model.h"

namespace tessaly {

// The strip's parts side by side: the bar, the counts at their width, the folder in what is left.
// It places them itself rather than through a layout: their texts change many times a second, and
// a layout would pass each change up through every layout of the window, which lays out and
// repaints the whole tab. The strip keeps one height whatever it shows.
class ScanStrip final : public QWidget {
public:
    // Opaque, so that its many repaints stop at it rather than repaint the tab beneath.
    ScanStrip() { setAutoFillBackground(true); }

    QSize sizeHint() const override
    {
        int height = 0;
        for (const QWidget* part : parts())
            height = std::max(height, part->sizeHint().height());
        return {0, height};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Puts the parts in place for what they show now.
    void place()
    {
        const int spacing = fontMetrics().averageCharWidth();
        const std::vector<QWidget*> all = parts();
        int x = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            QWidget* part = all[i];
            if (part->isHidden())
                continue;
            const bool last = i + 1 == all.size();
            const int width = last ? std::max(0, this->width() - x) : std::min(part->sizeHint().width(), this->width() - x);
            part->setGeometry(QStyle::visualRect(layoutDirection(), rect(), QRect(x, 0, std::max(width, 0), height())));
            x += width + spacing;
        }
    }

protected:
    bool event(QEvent* event) override
    {
        // A part's text changed: only the parts move.
        if (event->type() == QEvent::LayoutRequest)
            place();
        return QWidget::event(event);
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        place();
    }

private:
    std::vector<QWidget*> parts() const
    {
        std::vector<QWidget*> out;
        for (QObject* child : children())
            if (child->isWidgetType())
                out.push_back(static_cast<QWidget*>(child));
        return out;
    }
};

namespace {

// The moving bar of a scan whose length is not known. The style animates it sixty times a second,
// each frame a repaint of its own. The page moves it on when it shows the scan's progress, in the
// same repaint as the counts; the style's own frames come through only when the scan has shown
// nothing for a while, so that the bar still moves while a slow folder is read.
class BusyBar final : public QProgressBar {
public:
    explicit BusyBar(QWidget* parent) : QProgressBar(parent)
    {
        setRange(0, 0);
        setTextVisible(false);
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::StyleAnimationUpdate && painted_.isValid() && painted_.elapsed() < FrameMs)
            return true;
        return QProgressBar::event(event);
    }
    void paintEvent(QPaintEvent* event) override
    {
        painted_.start();
        QProgressBar::paintEvent(event);
    }

private:
    static constexpr int FrameMs = 80;
    QElapsedTimer painted_;
};

}  // namespace

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

    strip_ = new ScanStrip;
    strip_->setObjectName(QStringLiteral("ScanStrip4"));
    busy_ = new BusyBar(strip_);
    busy_->setObjectName(QStringLiteral("ScanBusy4"));
    busy_->setFixedWidth(80);
    counts_ = new QLabel(strip_);
    counts_->setObjectName(QStringLiteral("ScanCounts4"));
    counts_->setTextFormat(Qt::PlainText);
    folder_ = new NameLabel(NameLabel::Fit::Elide, strip_);
    folder_->setObjectName(QStringLiteral("ScanFolder4"));
    strip_->hide();
    rows->addWidget(strip_);

    auto* panel = pane.findChild<QWidget*>(QStringLiteral("Panel1"));
    static_cast<QVBoxLayout*>(panel->layout())->insertWidget(0, top);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        needle_ = text.trimmed();
        applyFilter(true);
    });
    // The strip takes its place as the scan starts, in the same repaint as the greyed list.
    connect(&pane, &DetectionPage::started, this, &DetectionAids::showProgress);
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
    busy_->update();
    strip_->place();
}

void DetectionAids::scanEnded()
{
    // The counts stay until the next scan; the bar and the folder go with the scan.
    strip_->show();
    busy_->hide();
    counts_->setText(countsText());
    folder_->clear();
    strip_->place();
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
