#pragma once
// The preview pane beside a list of items: the selected item's name, size, origin and content.
// Items are read on a thread of their own, one at a time, so that a slow volume never holds up the
// window; a result that arrives after the selection has moved on is dropped.

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/system.h"

class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;

namespace tessaly {

struct PreviewResult;
class NameLabel;

class PreviewPane final : public QWidget {
    Q_OBJECT

public:
    // What to show. text is the item's text as listed (shown, never parsed again); item is where
    // its bytes are, or resolved from text on the reading thread when resolve is set.
    struct Request {
        std::string text;
        ItemRef item;
        bool resolve = false;
        std::uint64_t size = 0;  // the size the list knows
    };

    // fs is used only from the pane's reading thread.
    explicit PreviewPane(std::shared_ptr<FileSystem> fs, QWidget* parent = nullptr);
    ~PreviewPane() override;

    void showItem(Request request);
    void clear();

    // What is on screen, for tests: the text or hex view's text, whether a picture is shown, the
    // origin box's text.
    QString shownText() const;
    bool showsImage() const;
    QString originText() const;
    QString headerText() const;
    bool reading() const { return running_ || pending_.has_value(); }

Q_SIGNALS:
    // A result has been put on screen.
    void shown();

private:
    void startNext();
    void present(const PreviewResult& result);

    std::shared_ptr<FileSystem> fs_;
    std::optional<Request> pending_;
    bool running_ = false;
    std::uint64_t generation_ = 0;

    NameLabel* name_ = nullptr;
    NameLabel* size_ = nullptr;
    NameLabel* origin_ = nullptr;
    NameLabel* note_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QScrollArea* imageArea_ = nullptr;
    QLabel* image_ = nullptr;
};

}  // namespace tessaly
