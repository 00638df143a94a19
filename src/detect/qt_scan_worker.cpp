#include "detect/qt_scan_worker.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include "common/icon_file.h"
#include "common/icons.h"
#include "common/oplog.h"
#include "platform/window_system.h"

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

// One walk: the scan's icon list, log and view, each filling the batch under way.
class ScanWorker::Run final : private IconList, private LogSink, private ScanView {
public:
    Run(ScanWorker& owner, std::string separator)
        : owner_(owner),
          log_(static_cast<LogSink&>(*this)),
          scan_(*owner.folders_, *owner.fs_, static_cast<IconList&>(*this), log_, static_cast<ScanView&>(*this))
    {
        scan_.setGroupSeparator(std::move(separator));
        scan_.setWorkers(FolderScan::WindowWorkers());
    }

    void walk(std::string folder)
    {
        scan_.ScanFolder(std::move(folder));
        send(true);
    }

private:
    // IconList: the window adds the same icons to its own list, in the same order.
    void clear() override {}
    int count() const override { return count_; }
    int addForExtension(const std::string& extension) override
    {
        return add(IconRequest::Kind::Extension, extension);
    }
    std::optional<int> addIconImage(const std::string& bytes, std::function<void()>) override
    {
        // Refused at once, as the window's list would; a picture that fails later is the window's
        // to report.
        if (!IconFileFits(bytes))
            return std::nullopt;
        return add(IconRequest::Kind::Picture, bytes);
    }
    int addEmpty() override { return add(IconRequest::Kind::Empty, {}); }
    int add(IconRequest::Kind kind, std::string data)
    {
        // A row asks for one of a few extensions again and again: each goes once in a batch.
        std::uint32_t index = 0;
        if (kind == IconRequest::Kind::Extension) {
            const auto [known, fresh] = extensions_.try_emplace(data, std::uint32_t(batch_->iconData.size()));
            if (fresh)
                batch_->iconData.push_back(std::move(data));
            index = known->second;
        } else if (kind == IconRequest::Kind::Picture) {
            index = std::uint32_t(batch_->iconData.size());
            batch_->iconData.push_back(std::move(data));
        }
        batch_->icons.push_back(IconRequest{kind, index});
        return count_++;
    }

    // LogSink
    void appendLine(const std::string& line) override { appendLine(line, {}, {}); }
    void appendLine(std::string_view stamp, std::string_view phrase, std::string_view subject) override
    {
        batch_->log.append(stamp, phrase, subject);
        ++lines_;
    }

    // ScanView
    void pump() override
    {
        // Between entries that come quickly the clock is read every few of them; a slow entry
        // makes the walk idle, which reads it every time.
        sendIfDue(++pumps_ % 16 == 0);
    }
    void idle() override { sendIfDue(true); }
    void sendIfDue(bool readClock)
    {
        if (owner_.cancel_.load(std::memory_order_relaxed))
            scan_.counters().CancelRequested = true;
        const bool blockFilled = scan_.rows().size() - sent_ >= ScanRows::BlockRows;
        const bool due = owner_.batchInterval.count() == 0 ||
                         (readClock && std::chrono::steady_clock::now() - lastSent_ >= owner_.batchInterval);
        if (blockFilled || lines_ >= owner_.batchLines || due)
            send(false);
    }
    void showProgress(const std::string& text) override { batch_->progress = text; }
    void showFolder(const std::string& folder) override { batch_->folder = folder; }
    void workerStarted() override { LowerThreadPriority(); }
    std::string formatModified(const LocalTime& time, bool withTime) override
    {
        QString text = locale_.toString(QDate(time.year, time.month, time.day), QLocale::ShortFormat);
        if (withTime)
            text += QLatin1Char(' ') + locale_.toString(QTime(time.hour, time.minute, time.second), timeFormat_);
        return text.toStdString();
    }

    void send(bool last)
    {
        const bool empty =
            sent_ == scan_.rows().size() && batch_->log.empty() && batch_->progress.empty();
        if (empty && !last)
            return;
        batch_->rows = scan_.moveRowsOut(sent_);
        sent_ = scan_.rows().size();
        batch_->counters = scan_.counters();
        batch_->last = last;
        if (last)
            batch_->skipped = scan_.skipped();
        {
            // The window takes its time: the walk waits rather than pile up what it cannot show yet.
            std::unique_lock lock(owner_.mutex_);
            if (!last)
                owner_.taken_.wait(lock, [this] {
                    return owner_.waiting_ < owner_.batchesAhead || owner_.cancel_.load();
                });
            ++owner_.waiting_;
        }
        Q_EMIT owner_.batchReady(std::move(batch_));
        batch_ = std::make_shared<ScanBatch>();
        // A batch holds about a block of rows, a log line each of some fifteen bytes kept.
        batch_->icons.reserve(ScanRows::BlockRows + ScanRows::BlockRows / 8);
        batch_->log.reserve(ScanRows::BlockRows + ScanRows::BlockRows / 8, 16 * ScanRows::BlockRows);
        extensions_.clear();
        lines_ = 0;
        lastSent_ = std::chrono::steady_clock::now();
    }

    ScanWorker& owner_;
    OperationLog log_;
    FolderScan scan_;
    std::shared_ptr<ScanBatch> batch_ = std::make_shared<ScanBatch>();
    std::size_t sent_ = 0;  // rows already sent
    int count_ = 0;         // icons asked for so far
    std::unordered_map<std::string, std::uint32_t> extensions_;  // in the batch under way
    int lines_ = 0;         // log lines in the batch under way
    unsigned pumps_ = 0;    // entries the walk has passed
    std::chrono::steady_clock::time_point lastSent_ = std::chrono::steady_clock::now();
    const QLocale locale_;
    const QString timeFormat_ = longTimeFormat(locale_);
};

ScanWorker::ScanWorker(std::shared_ptr<FolderSystem> folders, std::shared_ptr<FileSystem> fs, QObject* parent)
    : QObject(parent), folders_(std::move(folders)), fs_(std::move(fs))
{
}

ScanWorker::~ScanWorker()
{
    cancel();
    join();
}

void ScanWorker::join()
{
    if (thread_.joinable())
        thread_.join();
}

void ScanWorker::start(std::string folder, std::string groupSeparator)
{
    // The walk before has sent its last batch, so its thread has ended or is about to.
    join();
    cancel_ = false;
    waiting_ = 0;
    thread_ = std::thread([this, folder = std::move(folder), separator = std::move(groupSeparator)]() mutable {
        // The walk and its readers take turns below the window, which keeps answering at once.
        LowerThreadPriority();
        Run(*this, std::move(separator)).walk(std::move(folder));
    });
}

void ScanWorker::cancel()
{
    {
        std::lock_guard lock(mutex_);
        cancel_ = true;
    }
    taken_.notify_all();
}

void ScanWorker::taken()
{
    {
        std::lock_guard lock(mutex_);
        --waiting_;
    }
    taken_.notify_all();
}

}  // namespace tessaly
