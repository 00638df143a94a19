// Form1's open commands: each takes the selected node's text, lets the core decide and launch,
// and shows what the core cannot (the program chooser, the error box of a failed copy).

#include <QApplication>
#include <QClipboard>
#include <QTreeWidget>

#include "app/dialogs.h"
#include "app/form1.h"
#include "app/qt_text.h"
#include "app/texts.h"
#include "launch/opener.h"

namespace tessaly {

namespace {


ItemOpener openerFor(Form1& form)
{
    Services& s = form.services();
    ItemOpener opener(*s.fs, *s.associations, *s.launcher, *s.shellPaths, *s.workPlace, form.log());
    // The selected node's bytes are where the loader found them, not what its text may suggest.
    if (const WorkspaceNode* node = form.workspace().selectedNode(); node && !node->item.file.empty())
        opener.knowItem(node->text, node->item);
    return opener;
}

// The selected node's text, or nothing when no node is selected.
std::optional<std::string> selectedText(const Form1& form)
{
    const WorkspaceNode* node = form.workspace().selectedNode();
    if (!node)
        return std::nullopt;
    return node->text;
}

}  // namespace

void Form1::TreeView1DblClick()
{
    if (QTreeWidgetItem* root = TreeView1->topLevelItem(0))
        root->setExpanded(true);
    if (const auto X = selectedText(*this))
        openerFor(*this).TreeView1DblClick(*X);
}

void Form1::NotePad2Click()
{
    if (const auto X = selectedText(*this))
        openerFor(*this).NotePad2Click(*X);
}

void Form1::OpenBy2Click()
{
    if (const auto X = selectedText(*this))
        openerFor(*this).OpenBy2Click(*X, *services().applicationChooser);
}

void Form1::OpenByDirect2Click()
{
    const auto X = selectedText(*this);
    if (!X)
        return;
    openerFor(*this).OpenByDirect2Click(*X, [this]() -> std::optional<std::string> {
        const QString chosen = services().dialogs->getOpenFileName(this, tr8(texts::OpenProgramTitle),
                                                                   openDialog2FileName_,
                                                                   AllFilesFirst(tr8(texts::FilterPrograms)));
        if (chosen.isEmpty() || !dialogChoiceUsable(chosen))
            return std::nullopt;
        openDialog2FileName_ = chosen;
        return bytes(chosen);
    });
}

void Form1::CopyOpen2Click()
{
    const auto X = selectedText(*this);
    if (!X)
        return;
    if (const auto error = openerFor(*this).CopyOpen2Click(*X))
        services().dialogs->showError(this, shownText(CopyErrorText(*error, error->path)));
}

void Form1::Property2Click()
{
    if (const auto X = selectedText(*this))
        openerFor(*this).Property2Click(*X, *services().properties);
}

void Form1::CopyFileName2Click()
{
    if (const auto X = selectedText(*this))
        QGuiApplication::clipboard()->setText(shownText(*X));
}

}  // namespace tessaly
