#pragma once
// A label for texts that carry names and addresses. Such a text may hold no blank at all (a
// 244-byte file name, a long download address), and a plain label would ask for its whole width
// and push the window past the screen. This one never asks for more width than it is given: it
// either wraps anywhere, or elides the middle and tells the whole text in its tooltip.

#include <QLabel>

namespace tessaly {

class NameLabel final : public QLabel {
    Q_OBJECT

public:
    enum class Fit { Wrap, Elide };

    explicit NameLabel(Fit fit, QWidget* parent = nullptr);

    // The whole text; what is drawn is fitted to the width.
    void setText(const QString& text);
    QString text() const { return full_; }
    void clear() { setText(QString()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refit();

    Fit fit_;
    QString full_;
};

}  // namespace tessaly
