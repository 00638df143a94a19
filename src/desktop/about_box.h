#pragma once
// The About box: a message box with the application's icon, the six lines of the About text, the
// buttons "&OK" and "&HomePage", and a background gradient from white to a random colour that is
// drawn anew, in a new colour and direction, at every paint.

#include <QMessageBox>

#include <cstdint>

#include "desktop/desktop_rules.h"

class QPushButton;

namespace tessaly {

// Seeds the generator of the background colours (once, when the main window is created).
void SeedAboutBoxColours(std::uint32_t seed);

class AboutBox final : public QMessageBox {
    Q_OBJECT

public:
    AboutBox(QWidget* parent, const QString& text);

    // Whether the box was closed with "&HomePage" (Esc and the close box count as "&OK").
    bool homePageChosen() const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* homePageButton() const { return homePage_; }
    // The background of the latest paint of the whole box, and how many such paints there were.
    AboutGradient lastGradient() const { return last_; }
    int paintCount() const { return paints_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* ok_ = nullptr;
    QPushButton* homePage_ = nullptr;
    AboutGradient last_;
    int paints_ = 0;
};

}  // namespace tessaly
