// Form1's save commands: the save dialog, the error box, and showing the reloaded workspace.

#include <QDir>

#include "app/form1.h"
#include "common/dialogs.h"
#include "common/qt_text.h"
#include "common/texts.h"
#include "streams/saving.h"

namespace tessaly {

// The save dialog shared by both save-as commands: no title of its own, the document filter, and
// the remembered file name, which holds the chosen full path after a confirmed dialog. The file
// dialog asks before an existing file is replaced. Returns the path, or empty when cancelled.
QString Form1::SaveDialog1Execute()
{
    const QString chosen =
        services().dialogs->getSaveFileName(this, QString(), settings_.saveDialogFileName, tr8(texts::FilterDocuments));
    if (chosen.isEmpty() || !dialogChoiceUsable(chosen))
        return QString();
    settings_.saveDialogFileName = chosen;
    return chosen;
}

// Shows the outcome of a save: the error box that ends the command, or the new status text and,
// after a whole save, the reloaded tree.
void Form1::showSaveOutcome(const SaveOutcome& outcome, bool reloaded)
{
    if (outcome.error) {
        services().dialogs->showError(this, shownText(SaveErrorText(outcome, bytes(QDir::currentPath()))));
        return;
    }
    if (reloaded)
        showWorkspace();
    setStatusText(shownText(outcome.status));
}

void Form1::Save1Click()
{
    if (workspace().isEmpty())
        return;
    showSaveOutcome(SaveWhole(editor()), true);
}

void Form1::SaveAs1Click()
{
    if (workspace().isEmpty())
        return;
    const QString target = SaveDialog1Execute();
    if (target.isEmpty())
        return;
    showSaveOutcome(SaveWholeAs(editor(), bytes(target)), true);
}

void Form1::SaveAs2Click()
{
    const auto name = SaveSelectedDialogName(workspace());
    if (!name || workspace().isEmpty())
        return;
    settings_.saveDialogFileName = qs(*name);
    const QString target = SaveDialog1Execute();
    if (target.isEmpty())
        return;
    showSaveOutcome(SaveSelectedAs(editor(), bytes(target)), false);
}

}  // namespace tessaly
