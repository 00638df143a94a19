#include "common/qt_splitter_share.h"

#include <QEvent>
#include <QSplitter>

#include <algorithm>
#include <cmath>

namespace tessaly {

namespace {

int thousandths(double part, double whole)
{
    return std::clamp(int(std::lround(1000.0 * part / std::max(whole, 1.0))), 0, 1000);
}

}  // namespace

SplitterShare::SplitterShare(QSplitter* splitter, int firstSize, int expectedRoom, int perMille)
    : QObject(splitter), splitter_(splitter), firstWindowSize_(splitter->window()->size()), size_(firstSize),
      perMille_(perMille >= 0 ? std::min(perMille, 1000) : thousandths(firstSize, expectedRoom)),
      normalSize_(firstSize)
{
    setObjectName(QStringLiteral("SplitterShare"));
    splitter->installEventFilter(this);
    connect(splitter, &QSplitter::splitterMoved, this, &SplitterShare::moved);
}

SplitterShare* SplitterShare::of(const QSplitter* splitter)
{
    return splitter->findChild<SplitterShare*>(QStringLiteral("SplitterShare"), Qt::FindDirectChildrenOnly);
}

int SplitterShare::perMille() const
{
    return room_ > 0 ? thousandths(size_, room_) : perMille_;
}

bool SplitterShare::windowNormal() const
{
    return !(splitter_->window()->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
}

bool SplitterShare::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != splitter_ || event->type() != QEvent::Resize)
        return QObject::eventFilter(watched, event);
    // The splitter lays its panes out for the new size first; the share then corrects them.
    watched->event(event);
    apply();
    return true;
}

void SplitterShare::apply()
{
    const QList<int> sizes = splitter_->sizes();
    if (sizes.size() != 2)
        return;
    const int room = sizes[0] + sizes[1];
    if (room <= 1)
        return;
    // The window is still laid out at the size it started with: the pane keeps its given size, and
    // this room is what that size is a share of.
    if (!moved_ && windowNormal() && splitter_->window()->size() == firstWindowSize_)
        room_ = room;
    const double share = room_ > 0 ? double(size_) / room_ : perMille_ / 1000.0;
    const int second = std::clamp(int(std::lround(room * share)), 1, room - 1);
    if (sizes[1] != second)
        splitter_->setSizes({room - second, second});
    if (windowNormal())
        normalSize_ = splitter_->sizes().value(1);
}

void SplitterShare::moved()
{
    const QList<int> sizes = splitter_->sizes();
    const int room = sizes.value(0) + sizes.value(1);
    if (room <= 1)
        return;
    moved_ = true;
    size_ = sizes.value(1);
    room_ = room;
    if (windowNormal())
        normalSize_ = size_;
}

}  // namespace tessaly
