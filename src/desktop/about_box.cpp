#include "desktop/about_box.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>

#include <random>

#include "common/qt_icon_list.h"
#include "common/qt_text.h"
#include "common/texts.h"

namespace tessaly {

namespace {


std::mt19937& colourGenerator()
{
    static std::mt19937 generator;
    return generator;
}

}  // namespace

void SeedAboutBoxColours(std::uint32_t seed)
{
    colourGenerator().seed(seed);
}

AboutBox::AboutBox(QWidget* parent, const QString& text)
    : QMessageBox(QMessageBox::Information, tr8(texts::AboutCaption), text, QMessageBox::NoButton, parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    // A path may hold "<" or "&": the lines are shown as they are, never as markup.
    setTextFormat(Qt::PlainText);
    setIconPixmap(ApplicationIcon().pixmap(48, 48));
    // Both buttons share one role so that they keep this order (OK left) under every desktop's layout.
    ok_ = addButton(tr8(texts::AboutOk), QMessageBox::AcceptRole);
    ok_->setObjectName(QStringLiteral("AboutOk"));
    homePage_ = addButton(tr8(texts::AboutHomePage), QMessageBox::AcceptRole);
    homePage_->setObjectName(QStringLiteral("AboutHomePage"));
    setDefaultButton(ok_);
    setEscapeButton(ok_);
    for (QPushButton* button : {ok_, homePage_})
        button->setCursor(Qt::PointingHandCursor);
    // The labels draw no background of their own, so the gradient shows behind the text and icon.
    for (QLabel* label : findChildren<QLabel*>())
        label->setAutoFillBackground(false);
}

bool AboutBox::homePageChosen() const
{
    return clickedButton() == homePage_;
}

void AboutBox::showEvent(QShowEvent* event)
{
    QMessageBox::showEvent(event);
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->frameGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
}

void AboutBox::paintEvent(QPaintEvent* event)
{
    // Each paint of the whole box draws a new colour and direction. A paint of a part only (behind a
    // button that changes under the mouse) keeps the colour, or the box would show patches.
    if (paints_ == 0 || event->region() == QRegion(rect())) {
        last_ = NextAboutGradient(colourGenerator());
        ++paints_;
    }
    const QRectF area = rect();
    QLinearGradient gradient(area.topLeft(), last_.horizontal() ? area.topRight() : area.bottomLeft());
    gradient.setColorAt(0, Qt::white);
    gradient.setColorAt(1, QColor(last_.red(), last_.green(), last_.blue()));
    QPainter painter(this);
    painter.fillRect(rect(), gradient);
    QMessageBox::paintEvent(event);
}

}  // namespace tessaly
