#pragma once
// Opening workspace items with the programs that suit them: the double-click decision and the open
// commands of the tree's context menu. Every decision and launch is written to the operation log;
// nothing here waits for a started program.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "launch/launch_system.h"
#include "streams/copy_item.h"

namespace tessaly {

class OperationLog;

// The stand-ins for the two programs the commands start by name.
inline constexpr std::string_view TextEditorType = "text/plain";
inline constexpr std::string_view ImageEditorType = "image/png";

// An item as the open commands take it: the path the workspace names it by, which the log shows and
// its name and extension are read from, and where its bytes are (the file, and the stream or none).
struct ItemToOpen {
    std::string text;
    ItemRef ref;
};

class ItemOpener {
public:
    ItemOpener(FileSystem& fs, Associations& associations, Launcher& launcher, ShellPaths& paths,
               WorkPlace& workPlace, OperationLog& log)
        : fs_(fs), associations_(associations), launcher_(launcher), paths_(paths), workPlace_(workPlace), log_(log)
    {
    }

    // A value handed to a launch: an item (a file, or a stream that programs cannot open by its
    // path and so get as an exported copy) or plain text passed as it is.
    struct Argument {
        std::string text;
        std::optional<ItemRef> item;
    };
    static Argument item(const ItemToOpen& X) { return {X.text, X.ref}; }
    static Argument plain(std::string text) { return {std::move(text), std::nullopt}; }

    // Who is asked before a program or a link's target starts that may not be what it seems (see
    // LaunchConsent). Without anyone to ask, such a start is refused as if the answer were no.
    void askBefore(LaunchConsent& consent) { consent_ = &consent; }

    // Decides by name, extension and associated program how the item X opens, logs the decision
    // and starts what it decided on.
    void TreeView1DblClick(const ItemToOpen& X);
    // Opens X in the text editor.
    void NotePad2Click(const ItemToOpen& X);
    // Lets the user pick a program for X and starts it with X; a cancelled choice does nothing.
    void OpenBy2Click(const ItemToOpen& X, ApplicationChooser& chooser);
    // Lets the user pick a program file and starts it with X.
    void OpenByDirect2Click(const ItemToOpen& X, const std::function<std::optional<std::string>()>& OpenDialog2);
    // Copies X into the work place under its own name and opens the copy in the program for its
    // name; the copy is never run, even where X is a program. An error means that nothing was
    // logged or launched; the window shows it.
    std::optional<CopyError> CopyOpen2Click(const ItemToOpen& X);
    // Shows the properties of X and logs that it did, whatever the outcome.
    void Property2Click(const ItemToOpen& X, PropertiesSheet& sheet);

    std::string LongPathOf(const std::string& path) { return paths_.longPathOf(path); }

    // Starts file with the parameters and writes the result line, whatever the outcome.
    void ShellLaunch(std::string_view verb, const Argument& file, const std::vector<Argument>& parameters);

private:
    // The path under which a program can open the item: its path made absolute, or for a stream
    // the path of its read-only copy in the work place.
    Expected<std::string> handOver(const std::string& text, const ItemRef& ref);
    // Opens the item X with the application through its desktop entry and writes the result line.
    void launchWith(const Application& application, const ItemToOpen& X);
    void launchStandIn(std::string_view contentType, const ItemToOpen& X);
    void logNoAssociation();
    // Starts the target stored in the link X (a link kept in a stream is read from its exported
    // copy), asking first where the link or its target calls for it.
    void startLinkTarget(const ItemToOpen& X);
    // Why starting the item needs a yes: the question's lines for a stream, an origin on the
    // Internet (zone 3 or 4, or an origin address) and a volume where anything may be executable.
    // None for an ordinary program on an ordinary volume.
    std::vector<std::string> reasonsToAsk(const ItemRef& item);
    // True when the start may go ahead: at once without reasons, otherwise only on a yes. A no is
    // logged with subject.
    bool mayStart(const std::string& head, const std::vector<std::string>& reasons, const std::string& subject);

    FileSystem& fs_;
    Associations& associations_;
    Launcher& launcher_;
    ShellPaths& paths_;
    WorkPlace& workPlace_;
    OperationLog& log_;
    LaunchConsent* consent_ = nullptr;
};

}  // namespace tessaly
