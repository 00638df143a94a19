// Form1's workspace tab and commands: the page, drops, Open, reset, remove, click and the context
// menu's state.

#include <QAction>
#include <QLocale>

#include "app/form1.h"
#include "common/dialogs.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "streams/commands.h"
#include "streams/qt_workspace_page.h"

namespace tessaly {

void Form1::dropFiles(const std::vector<std::string>& paths)
{
    const DropOutcome outcome = HandleDrop(editor(), paths);
    if (outcome.refused) {
        services().dialogs->showMessage(this, tr8(texts::OnlyOneParent), tr8(texts::ApplicationTitle));
        return;
    }
    showWorkspace();
    setStatusText(shownText(outcome.status));
}

void Form1::New1Click()
{
    editor().reset();
    setStatusText(QString());
    showWorkspace();
}

void Form1::Open1Click()
{
    const QString path = services().dialogs->getOpenFileName(this, QString(), settings_.openDialogFolder,
                                                             tr8(texts::FilterDocuments));
    if (path.isEmpty() || !dialogChoiceUsable(path))
        return;
    const std::string status = OpenFromDialog(editor(), bytes(path));
    showWorkspace();
    setStatusText(shownText(status));
}

void Form1::Delete2Click()
{
    if (DeleteSelected(editor()))
        setStatusText(QString());
    showWorkspace();
}

void Form1::TreeView1Click()
{
    const std::string text = ClickStatusText(workspace(), bytes(QLocale().groupSeparator()));
    if (!text.empty())
        setStatusText(shownText(text));
}

void Form1::PopupMenu1Popup()
{
    workspacePage_->enableCommands(tessaly::PopupMenu1Popup(workspace()));
}

void Form1::PreviewSelectedNode()
{
    workspacePage_->previewSelectedNode();
}

WorkspacePage* Form1::buildWorkspacePage()
{
    auto* page = new WorkspacePage(workspace_, *ImageList2, services_.previewFs ? services_.previewFs : services_.fs);
    connect(page->Open2, &QAction::triggered, this, &Form1::TreeView1DblClick);
    connect(page->NotePad2, &QAction::triggered, this, &Form1::NotePad2Click);
    connect(page->OpenBy2, &QAction::triggered, this, &Form1::OpenBy2Click);
    connect(page->OpenByDirect2, &QAction::triggered, this, &Form1::OpenByDirect2Click);
    connect(page->CopyOpen2, &QAction::triggered, this, &Form1::CopyOpen2Click);
    connect(page->SaveAs2, &QAction::triggered, this, &Form1::SaveAs2Click);
    connect(page->Delete2, &QAction::triggered, this, &Form1::Delete2Click);
    connect(page->Property2, &QAction::triggered, this, &Form1::Property2Click);
    connect(page->CopyFileName2, &QAction::triggered, this, &Form1::CopyFileName2Click);
    connect(page, &WorkspacePage::nodeSelected, this, [this](int index) {
        workspace_.select(index);
        PopupMenu1Popup();
        PreviewSelectedNode();
    });
    connect(page, &WorkspacePage::nodeClicked, this, &Form1::TreeView1Click);
    connect(page, &WorkspacePage::nodeDoubleClicked, this, &Form1::TreeView1DblClick);
    connect(page, &WorkspacePage::menuAboutToOpen, this, &Form1::PopupMenu1Popup);
    return page;
}

}  // namespace tessaly
