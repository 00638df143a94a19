#include "streams/qt_preview_pane.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringDecoder>
#include <QThreadPool>
#include <QVBoxLayout>

#include "common/numbers.h"
#include "common/qt_icon_list.h"
#include "common/qt_name_label.h"
#include "common/qt_text.h"
#include "common/shown_name.h"
#include "common/texts.h"
#include "streams/origin.h"
#include "streams/preview.h"

namespace tessaly {

// What the reading thread hands to the window: everything decoded, nothing left to read.
struct PreviewResult {
    std::uint64_t generation = 0;
    QString header;                // the shown name
    QString sizeLine;              // size, and what part of it is shown
    QString origin;                // empty when the file tells nothing of its origin
    QString note;                  // how the content is shown
    QString text;                  // text or hex
    bool hex = false;
    QImage image;
};

namespace {

// One reading thread for every pane, so that the panes never use their file system at the same
// time. It is never destroyed: a read stuck on a dead network volume must not hold up the end of
// the program, and its result finds no pane and is dropped.
QThreadPool& readingThread()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(-1);
        LimitPictureDecoding();
        return p;
    }();
    return *pool;
}

QString escaped(const std::string& bytes)
{
    return tr8(ShownName(bytes));
}

// A fresh size for a sample that filled the limit, so that a stale figure in the list does not
// hide that more follows. Only sizes are asked, no data.
std::uint64_t currentSize(FileSystem& fs, const ItemRef& item)
{
    if (!item.isStream())
        return fs.fileSizeOf(item.file);
    for (const StreamInfo& s : fs.listStreams(item.file))
        if (s.name == item.stream)
            return s.size;
    return 0;
}

// The most pixels a previewed picture may have: 64 MiB decoded. 64 KiB of PNG or GIF can declare
// a picture of gigabytes; it is refused by its header before anything is decoded.
constexpr qint64 MaxPreviewPixels = 16 * 1024 * 1024;
// Pictures are brought down to this on the reading thread, so that the window only ever scales a
// picture of about its own size.
constexpr int MaxPreviewSide = 2048;

struct Picture {
    QImage image;  // brought down to MaxPreviewSide
    QSize size;    // as the file tells it
    bool tooLarge = false;
};

// The first picture in bytes; nothing is decoded when it has more than MaxPreviewPixels.
Picture decodePicture(const std::string& bytes, const char* format)
{
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    Picture p;
    p.size = reader.size();
    if (p.size.isValid() && qint64(p.size.width()) * p.size.height() > MaxPreviewPixels) {
        p.tooLarge = true;
        return p;
    }
    p.image = reader.read();
    p.size = p.image.size();
    // A reader that could not tell the size beforehand (an icon file's directory may understate it).
    if (qint64(p.size.width()) * p.size.height() > MaxPreviewPixels) {
        p.image = QImage();
        p.tooLarge = true;
        return p;
    }
    if (p.image.width() > MaxPreviewSide || p.image.height() > MaxPreviewSide)
        p.image = p.image.scaled(MaxPreviewSide, MaxPreviewSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return p;
}

QString decodeText(const std::string& bytes, const ContentGuess& g, bool& ok)
{
    ok = true;
    const char* data = bytes.data() + g.textStart;
    const auto length = qsizetype(g.textLength);
    switch (g.encoding) {
    case TextEncoding::Utf8: return QString::fromUtf8(data, length);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return tr8(Utf16ToUtf8(std::string_view(data, std::size_t(length)), g.encoding == TextEncoding::Utf16BE));
    case TextEncoding::ShiftJis:
    case TextEncoding::EucJp: break;
    }
    QStringDecoder decoder(g.encoding == TextEncoding::ShiftJis ? "Shift_JIS" : "EUC-JP");
    if (!decoder.isValid()) {
        ok = false;
        return {};
    }
    QString text = decoder.decode(QByteArrayView(data, length));
    ok = !decoder.hasError();
    return text;
}

// Content is shown as it is, but a direction control in it would make it read otherwise
// ("invoice\u202efdp.exe" reads as "invoiceexe.pdf"): those are shown escaped, as in names.
QString withDirectionControlsShown(QString text)
{
    for (qsizetype i = text.size(); i-- > 0;)
        if (const char16_t c = text[i].unicode(); IsDirectionControl(c))
            text.replace(i, 1, tr8(CodePointEscape(c)));
    return text;
}

QString encodingName(TextEncoding e)
{
    switch (e) {
    case TextEncoding::Utf8: return QStringLiteral("UTF-8");
    case TextEncoding::Utf16LE: return QStringLiteral("UTF-16LE");
    case TextEncoding::Utf16BE: return QStringLiteral("UTF-16BE");
    case TextEncoding::ShiftJis: return QStringLiteral("Shift_JIS");
    case TextEncoding::EucJp: return QStringLiteral("EUC-JP");
    }
    return {};
}

PreviewResult readPreview(FileSystem& fs, const PreviewPane::Request& request, const std::string& separator)
{
    PreviewResult r;
    r.header = escaped(request.text);
    const ItemRef item = request.resolve ? ResolveItemText(fs, request.text) : request.item;
    auto read = ReadPreview(fs, item, request.size);
    if (read.ok() && read.value().bytes.size() == PreviewLimit && !read.value().truncated) {
        // The list's figure may be stale: ask once more, then judge again.
        const std::uint64_t size = currentSize(fs, item);
        if (size > PreviewLimit) {
            read.value().size = size;
            read.value().truncated = true;
        }
    }
    // The origin belongs to the file and to the streams that record it, not to the file's other
    // streams: repeated on each of them it would only push their content down.
    const bool ownsOrigin = !item.isStream() || item.stream == ZoneIdentifierStream ||
                            item.stream == XdgOriginStream || item.stream == XdgReferrerStream;
    if (const Origin origin = ownsOrigin ? ReadOrigin(fs, item.file) : Origin(); !origin.empty()) {
        r.origin = tr8(texts::OriginTitle);
        for (const auto& [caption, value] : OriginLines(origin))
            r.origin += QLatin1Char('\n') + tr8(caption) + QStringLiteral(": ") + escaped(value);
    }
    if (!read.ok()) {
        r.sizeLine = tr8(SizeLine(request.size, separator));
        r.note = tr8(texts::PreviewUnreadable) + tr8(read.error().message);
        return r;
    }
    const PreviewSample& sample = read.value();
    r.sizeLine = tr8(SizeLine(sample.size, separator));
    if (sample.truncated)
        r.sizeLine += QLatin1Char('\n') + tr8(texts::PreviewShownPart);

    const ContentGuess guess = GuessContent(sample.bytes, sample.truncated);
    switch (guess.kind) {
    case ContentGuess::Kind::Empty: r.note = tr8(texts::PreviewEmptyItem); return r;
    case ContentGuess::Kind::Image: {
        Picture picture = decodePicture(sample.bytes, guess.imageFormat.c_str());
        if (picture.tooLarge) {
            r.note = tr8(texts::PreviewImageTooLarge).arg(picture.size.width()).arg(picture.size.height());
            break;
        }
        if (!picture.image.isNull()) {
            r.image = std::move(picture.image);
            r.note = QString::fromLatin1(guess.imageFormat).toUpper() +
                     QStringLiteral(" %1 x %2").arg(picture.size.width()).arg(picture.size.height());
            return r;
        }
        // A picture larger than the part read may not decode from its beginning alone.
        r.note = tr8(sample.truncated ? texts::PreviewImageCut : texts::PreviewImageUnreadable);
        break;
    }
    case ContentGuess::Kind::Text: {
        bool ok = false;
        QString text = decodeText(sample.bytes, guess, ok);
        if (ok) {
            r.note = encodingName(guess.encoding);
            r.text = withDirectionControlsShown(std::move(text));
            return r;
        }
        r.note = tr8(texts::PreviewBinary);
        break;
    }
    case ContentGuess::Kind::Binary: r.note = tr8(texts::PreviewBinary); break;
    }
    r.hex = true;
    r.text = QString::fromLatin1(HexDump(sample.bytes));
    return r;
}

}  // namespace

PreviewPane::PreviewPane(std::shared_ptr<FileSystem> fs, QWidget* parent)
    : QWidget(parent), fs_(std::move(fs))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    auto label = [this, layout](const char* name) {
        // Names and URLs come from the files: plain text, wrapped anywhere.
        auto* l = new NameLabel(NameLabel::Fit::Wrap, this);
        l->setObjectName(QLatin1String(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(l);
        return l;
    };
    name_ = label("PreviewName");
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    size_ = label("PreviewSize");
    origin_ = label("PreviewOrigin");
    origin_->setFrameShape(QFrame::StyledPanel);
    origin_->setMargin(4);
    origin_->setAutoFillBackground(true);
    origin_->setBackgroundRole(QPalette::ToolTipBase);
    origin_->setForegroundRole(QPalette::ToolTipText);
    origin_->hide();
    note_ = label("PreviewNote");

    stack_ = new QStackedWidget(this);
    text_ = new QPlainTextEdit(stack_);
    text_->setObjectName(QStringLiteral("PreviewText"));
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    imageArea_ = new QScrollArea(stack_);
    imageArea_->setAlignment(Qt::AlignCenter);
    image_ = new QLabel;
    image_->setObjectName(QStringLiteral("PreviewImage"));
    image_->setAlignment(Qt::AlignCenter);
    imageArea_->setWidget(image_);
    imageArea_->setWidgetResizable(true);
    stack_->addWidget(text_);
    stack_->addWidget(imageArea_);
    layout->addWidget(stack_, 1);
}

// A read still running finishes on its own; its result finds no pane and is dropped.
PreviewPane::~PreviewPane() = default;

void PreviewPane::clear()
{
    ++generation_;
    pending_.reset();
    name_->clear();
    size_->clear();
    note_->clear();
    origin_->hide();
    origin_->clear();
    text_->clear();
    image_->clear();
    stack_->setCurrentWidget(text_);
}

void PreviewPane::showItem(Request request)
{
    clear();
    name_->setText(escaped(request.text));
    note_->setText(tr8(texts::PreviewLoading));
    pending_ = std::move(request);
    startNext();
}

void PreviewPane::startNext()
{
    if (running_ || !pending_)
        return;
    running_ = true;
    Request request = std::move(*pending_);
    pending_.reset();
    const std::uint64_t generation = generation_;
    const std::string separator = QLocale().groupSeparator().toStdString();
    QPointer<PreviewPane> self(this);
    std::shared_ptr<FileSystem> fs = fs_;
    readingThread().start([self, fs, request = std::move(request), generation, separator] {
        auto result = std::make_shared<PreviewResult>(readPreview(*fs, request, separator));
        result->generation = generation;
        QMetaObject::invokeMethod(
            qApp,
            [self, result] {
                if (!self)
                    return;
                self->running_ = false;
                if (result->generation == self->generation_)
                    self->present(*result);
                self->startNext();
            },
            Qt::QueuedConnection);
    });
}

void PreviewPane::present(const PreviewResult& r)
{
    name_->setText(r.header);
    size_->setText(r.sizeLine);
    note_->setText(r.note);
    origin_->setText(r.origin);
    origin_->setVisible(!r.origin.isEmpty());
    if (!r.image.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(r.image);
        // The stack's own size: the picture's area has no size of its own while it is hidden.
        const QSize room = stack_->size() - QSize(4, 4);
        if (pixmap.width() > room.width() || pixmap.height() > room.height())
            pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        image_->setPixmap(pixmap);
        stack_->setCurrentWidget(imageArea_);
    } else {
        text_->setLineWrapMode(r.hex ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        text_->setFont(r.hex ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : font());
        text_->setPlainText(r.text);
        stack_->setCurrentWidget(text_);
    }
    Q_EMIT shown();
}

QString PreviewPane::shownText() const
{
    return stack_->currentWidget() == text_ ? text_->toPlainText() : QString();
}

bool PreviewPane::showsImage() const
{
    return stack_->currentWidget() == imageArea_ && !image_->pixmap().isNull();
}

QString PreviewPane::originText() const
{
    return origin_->isVisible() || !origin_->text().isEmpty() ? origin_->text() : QString();
}

QString PreviewPane::headerText() const
{
    return name_->text() + QLatin1Char('\n') + size_->text() + QLatin1Char('\n') + note_->text();
}

}  // namespace tessaly
