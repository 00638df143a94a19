#include "platform/windows/message_boxes.h"

#include <windows.h>

#include <QWidget>

#include "common/texts.h"

namespace tessaly {

namespace {

HWND ownerOf(QWidget* parent)
{
    return parent ? reinterpret_cast<HWND>(parent->window()->winId()) : nullptr;
}

std::wstring wide(const QString& text)
{
    return text.toStdWString();
}

int box(QWidget* parent, const QString& text, const QString& caption, UINT style)
{
    // MB_TASKMODAL without an owner, so that a box shown before the window exists (a second copy's
    // notice) still keeps the program waiting for its answer.
    return ::MessageBoxW(ownerOf(parent), wide(text).c_str(), wide(caption).c_str(),
                         style | MB_SETFOREGROUND | (parent ? 0u : UINT(MB_TASKMODAL)));
}

QString title()
{
    return QString::fromUtf8(texts::ApplicationTitle.data(), qsizetype(texts::ApplicationTitle.size()));
}

}  // namespace

void WindowsDialogs::showMessage(QWidget* parent, const QString& text, const QString& caption)
{
    box(parent, text, caption, MB_OK);
}

bool WindowsDialogs::askYesNo(QWidget* parent, const QString& text, const QString& caption)
{
    return box(parent, text, caption, MB_YESNO | MB_ICONQUESTION) != IDNO;
}

bool WindowsDialogs::askWarning(QWidget* parent, const QString& text, const QString& caption)
{
    return box(parent, text, caption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void WindowsDialogs::showError(QWidget* parent, const QString& text)
{
    box(parent, ErrorBoxText(text), title(), MB_OK | MB_ICONERROR);
}

QString WindowsDialogs::getOpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                        const QString& filter)
{
    return files_.getOpenFileName(parent, title, folder, filter);
}

QString WindowsDialogs::getSaveFileName(QWidget* parent, const QString& title, const QString& fileName,
                                        const QString& filter)
{
    return files_.getSaveFileName(parent, title, fileName, filter);
}

}  // namespace tessaly
