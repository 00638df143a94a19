// Form1's workspace commands: drops, Open, reset, remove, click and the context menu's state.

#include <QAction>
#include <QLocale>

#include "app/form1.h"
#include "common/dialogs.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "streams/commands.h"

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
    const PopupEnables e = tessaly::PopupMenu1Popup(workspace());
    Open2->setEnabled(e.Open2);
    NotePad2->setEnabled(e.NotePad2);
    OpenBy2->setEnabled(e.OpenBy2);
    OpenByDirect2->setEnabled(e.OpenByDirect2);
    CopyOpen2->setEnabled(e.CopyOpen2);
    SaveAs2->setEnabled(e.SaveAs2);
    Delete2->setEnabled(e.Delete2);
    Property2->setEnabled(e.Property2);
    CopyFileName2->setEnabled(e.CopyFileName2);
}

}  // namespace tessaly
