#pragma once
// A splitter whose second pane keeps its share of the room when the splitter changes size (a pane
// of fixed width beside a maximised window would leave it a strip); a drag of the handle sets a new
// share. While the window has the size it started with, the pane has exactly the size it was
// given. The size the pane has in the window's normal state is kept beside the share, for the
// settings.

#include <QObject>
#include <QSize>

class QSplitter;

namespace tessaly {

class SplitterShare final : public QObject {
    Q_OBJECT

public:
    // firstSize: the second pane's size while the window keeps its present size. perMille: its
    // share where that size is not known yet (a window that starts maximised); < 0 for none, when
    // it is guessed from the room the splitter is expected to have.
    SplitterShare(QSplitter* splitter, int firstSize, int expectedRoom, int perMille);

    // The share of the splitter's room the second pane has, in thousandths.
    int perMille() const;
    // The second pane's size when the window was last neither maximised nor minimised.
    int normalSize() const { return normalSize_; }

    // The share kept on splitter; nullptr when it has none.
    static SplitterShare* of(const QSplitter* splitter);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void moved();
    bool windowNormal() const;

    QSplitter* splitter_;
    QSize firstWindowSize_;
    int size_;             // the pane's size when the splitter's room was room_
    int room_ = 0;         // 0 until known
    bool moved_ = false;   // the user has set the share
    int perMille_;
    int normalSize_;
};

}  // namespace tessaly
