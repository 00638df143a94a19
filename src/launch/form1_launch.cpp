// Form1's open commands: each takes the selected node (its path and where its bytes are), lets the
// core decide and launch, and shows what the core cannot (the program chooser, the question before
// a doubtful start, the error box of a failed copy).

#include <QApplication>
#include <QClipboard>
#include <QTreeWidget>

#include "app/form1.h"
#include "streams/qt_workspace_page.h"
#include "common/dialogs.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "launch/opener.h"

namespace tessaly {

namespace {

// The question before a start goes to the person at the window as a warning box.
class WindowConsent final : public LaunchConsent {
public:
    explicit WindowConsent(Form1& form) : form_(form) {}
    bool allowStart(const std::string& question) override
    {
        return form_.services().dialogs->askWarning(&form_, tr8(question), tr8(texts::ApplicationTitle));
    }

private:
    Form1& form_;
};

// The opener for one command, asking the window before anything doubtful starts.
struct WindowOpener {
    explicit WindowOpener(Form1& form)
        : consent(form),
          opener(*form.services().fs, *form.services().associations, *form.services().launcher,
                 *form.services().shellPaths, *form.services().workPlace, form.log())
    {
        opener.askBefore(consent);
    }
    WindowConsent consent;
    ItemOpener opener;
};

// The selected node as its path and where the loader found its bytes, or nothing when no node is
// selected.
std::optional<ItemToOpen> selectedItem(const Form1& form)
{
    const WorkspaceNode* node = form.workspace().selectedNode();
    if (!node)
        return std::nullopt;
    return ItemToOpen{node->text, node->item};
}

}  // namespace

void Form1::TreeView1DblClick()
{
    workspacePage_->expandRoot();
    if (const auto X = selectedItem(*this))
        WindowOpener(*this).opener.TreeView1DblClick(*X);
}

void Form1::NotePad2Click()
{
    if (const auto X = selectedItem(*this))
        WindowOpener(*this).opener.NotePad2Click(*X);
}

void Form1::OpenBy2Click()
{
    if (const auto X = selectedItem(*this))
        WindowOpener(*this).opener.OpenBy2Click(*X, *services().applicationChooser);
}

void Form1::OpenByDirect2Click()
{
    const auto X = selectedItem(*this);
    if (!X)
        return;
    WindowOpener(*this).opener.OpenByDirect2Click(*X, [this]() -> std::optional<std::string> {
        const QString chosen = services().dialogs->getOpenFileName(this, tr8(texts::OpenProgramTitle),
                                                                   settings_.openDialog2FileName,
                                                                   AllFilesFirst(tr8(texts::FilterPrograms)));
        if (chosen.isEmpty() || !dialogChoiceUsable(chosen))
            return std::nullopt;
        settings_.openDialog2FileName = chosen;
        return bytes(chosen);
    });
}

void Form1::CopyOpen2Click()
{
    const auto X = selectedItem(*this);
    if (!X)
        return;
    if (const auto error = WindowOpener(*this).opener.CopyOpen2Click(*X))
        services().dialogs->showError(this, shownText(CopyErrorText(*error, error->path)));
}

void Form1::Property2Click()
{
    if (const auto X = selectedItem(*this))
        WindowOpener(*this).opener.Property2Click(*X, *services().properties);
}

void Form1::CopyFileName2Click()
{
    if (const auto X = selectedItem(*this))
        QGuiApplication::clipboard()->setText(shownText(X->text));
}

}  // namespace tessaly
