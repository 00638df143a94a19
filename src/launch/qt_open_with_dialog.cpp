#include "launch/qt_open_with_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileIconProvider>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt_text.h"
#include "common/texts.h"

namespace tessaly {

QIcon IconFromGioText(const std::string& text)
{
    const QString t = QString::fromUtf8(text.data(), qsizetype(text.size()));
    QIcon icon;
    if (t.startsWith(QLatin1Char('/'))) {
        icon = QIcon(t);
    } else if (t.startsWith(QLatin1String(". GThemedIcon "))) {
        // ". GThemedIcon name1 name2 ...": the first name a theme knows wins.
        for (const QString& name : t.mid(14).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            icon = QIcon::fromTheme(name);
            if (!icon.isNull())
                break;
        }
    } else if (!t.isEmpty()) {
        icon = QIcon::fromTheme(t);
    }
    if (icon.isNull())
        icon = QFileIconProvider().icon(QFileIconProvider::File);
    return icon;
}

OpenWithDialog::OpenWithDialog(const QString& item, std::vector<ApplicationEntry> applications, QWidget* parent)
    : QDialog(parent), applications_(std::move(applications))
{
    setObjectName(QStringLiteral("OpenWithDialog"));
    setWindowTitle(tr8(texts::OpenWithTitle));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(item, this);
    label->setObjectName(QStringLiteral("OpenWithItem"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(label);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("OpenWithList"));
    list_->setIconSize(QSize(24, 24));
    for (const ApplicationEntry& app : applications_) {
        auto* row = new QListWidgetItem(IconFromGioText(app.icon), QString::fromUtf8(app.name.c_str()), list_);
        // Tooltips read anything that looks like markup as markup: the path goes in escaped.
        row->setToolTip(QStringLiteral("<p style='white-space:pre'>") +
                        QFile::decodeName(QByteArray::fromStdString(app.program)).toHtmlEscaped() +
                        QStringLiteral("</p>"));
    }
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("OpenWithButtons"));
    layout->addWidget(buttons);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    connect(list_, &QListWidget::currentRowChanged, ok, [ok](int row) { ok->setEnabled(row >= 0); });
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!applications_.empty())
        list_->setCurrentRow(0);
    resize(420, 360);
}

std::optional<Application> OpenWithDialog::chosenApplication() const
{
    const int row = list_->currentRow();
    if (row < 0 || std::size_t(row) >= applications_.size())
        return std::nullopt;
    const ApplicationEntry& chosen = applications_[std::size_t(row)];
    return Application{chosen.program, chosen.id};
}

std::optional<Application> OpenWithChooser::chooseApplication(const std::string& item)
{
    OpenWithDialog dialog(shownText(item), ApplicationsForItem(item),
                          QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenApplication();
}

}  // namespace tessaly
