#include "launch/opener.h"

#include <cerrno>

#include "app/oplog.h"
#include "app/texts.h"
#include "streams/names.h"

namespace tessaly {

std::int32_t LaunchCodeForError(int errorNumber)
{
    return errorNumber == EACCES || errorNumber == EPERM ? LaunchAccessDenied : LaunchFileNotFound;
}

void ItemOpener::TreeView1DblClick(const std::string& X)
{
    if (TrimControls(X).empty())
        return;
    const std::string N = AsciiLower(FinalNameComponent(X));
    if (N == "favicon") {
        log_.AppendLogLine(texts::LaunchPaint, X);
        launchStandIn(ImageEditorType, X);
        return;
    }
    const std::string E = ExtensionOf(X);
    if (E.empty()) {
        log_.AppendLogLine(texts::AssociationImpossible, X);
        logNoAssociation();
        return;
    }
    const Application app = associations_.findApplication(X);
    const std::string& A = app.program;
    if (A.empty()) {
        if (AsciiLower(E) == ".lnk") {
            const std::string T = LongPathOf(ResolveShellLink(X));
            log_.AppendLogLine(texts::LaunchLinkTarget, X + " " + T);
            // The target as the link stores it: a path of its own, not an item of the workspace.
            ShellLaunch({}, plain(T), {});
        } else if (N == "zone.identifier") {
            NotePad2Click(X);
        } else {
            log_.AppendLogLine(texts::NoAssociationSet, X);
            logNoAssociation();
        }
        return;
    }
    if (AsciiLower(ExtensionOf(A)) == ".dll") {
        log_.AppendLogLine(texts::LaunchByAssociation, A + " " + X);
        ShellLaunch("open", item(X), {});
    } else if (A == X) {
        log_.AppendLogLine(texts::LaunchProgram, X);
        ShellLaunch({}, item(X), {});
    } else {
        log_.AppendLogLine(texts::LaunchAssociatedProgram, A + " " + X);
        launchWith(app, X);
    }
}

void ItemOpener::NotePad2Click(const std::string& X)
{
    log_.AppendLogLine(texts::LaunchNotepad, X);
    launchStandIn(TextEditorType, X);
}

void ItemOpener::OpenBy2Click(const std::string& X, ApplicationChooser& chooser)
{
    const std::optional<Application> A = chooser.chooseApplication(X);
    if (!A)
        return;
    log_.AppendLogLine(texts::LaunchWithChoice, A->program + " " + X);
    launchWith(*A, X);
}

void ItemOpener::OpenByDirect2Click(const std::string& X,
                                    const std::function<std::optional<std::string>()>& OpenDialog2)
{
    const std::string itemText = X;
    const std::optional<std::string> G = OpenDialog2();
    if (!G)
        return;
    log_.AppendLogLine(texts::LaunchWithGivenProgram, *G + " " + itemText);
    ShellLaunch({}, plain(*G), {item(itemText)});
}

std::optional<CopyError> ItemOpener::CopyOpen2Click(const std::string& X)
{
    const ItemRef source = refOf(X);
    const std::string name = source.isStream() ? source.stream : FinalNameComponent(X);
    auto root = workPlace_.folder();
    if (!root)
        return CopyError{CopyError::Side::Target, name, root.error()};
    auto folder = workPlace_.folderFor(source.file);
    if (!folder)
        return CopyError{CopyError::Side::Target, name, folder.error()};
    const std::string D = LongPathOf(folder.value());
    std::string K = D + name;
    // An item that already lives in the work place under its own name is its own copy; clearing
    // the way for a new copy would delete it.
    if (source.isStream() || source.file != K) {
        auto place = workPlace_.placeFor(source.file, name);
        if (!place)
            return CopyError{CopyError::Side::Target, K, place.error()};
        K = LongPathOf(place.value());
        if (auto error = CopyItemData(fs_, source, ItemRef{K, {}}))
            return error;
        workPlace_.remember(K);
    }
    log_.AppendLogLine(texts::CopiedToWorkPlace, X + " " + D);
    const std::string A = associations_.findExecutable(X);
    if (A == X) {
        // The copy of a program is to run like the program: it gets the permission to.
        const std::string base = LongPathOf(root.value());
        workPlace_.makeExecutable(K.compare(0, base.size(), base) == 0 ? K.substr(base.size()) : name);
        log_.AppendLogLine(texts::LaunchedInWorkPlace, K);
    } else
        log_.AppendLogLine(texts::LaunchByAssociation, A + " " + K);
    ShellLaunch("open", plain(K), {});
    return std::nullopt;
}

void ItemOpener::Property2Click(const std::string& X, PropertiesSheet& sheet)
{
    sheet.ShowPropertiesSheet(X);
    log_.AppendLogLine(texts::ShowProperties, X);
}

std::string ItemOpener::ResolveShellLink(const std::string& X)
{
    auto path = handOver(X);
    if (!path)
        return {};
    return paths_.resolveShellLink(path.value());
}

void ItemOpener::ShellLaunch(std::string_view verb, const Argument& file, const std::vector<Argument>& parameters)
{
    auto resolve = [this](const Argument& a) -> Expected<std::string> {
        return a.isItem ? handOver(a.text) : Expected<std::string>(a.text);
    };
    auto program = resolve(file);
    std::vector<std::string> arguments;
    std::optional<SysError> failure;
    if (!program)
        failure = program.error();
    for (const Argument& p : parameters) {
        if (failure)
            break;
        auto value = resolve(p);
        if (!value)
            failure = value.error();
        else
            arguments.push_back(std::move(value.value()));
    }
    // A stream that could not be handed over is reported like a launch that failed.
    if (failure) {
        log_.appendResultLine(LaunchCodeForError(failure->code), std::uint32_t(failure->code), failure->message);
        return;
    }
    const LaunchResult r = launcher_.launch(std::string(verb), program.value(), arguments);
    log_.appendResultLine(r.code, r.lastError, r.message);
}

void ItemOpener::launchWith(const Application& application, const std::string& X)
{
    auto document = handOver(X);
    if (!document) {
        log_.appendResultLine(LaunchCodeForError(document.error().code), std::uint32_t(document.error().code),
                              document.error().message);
        return;
    }
    const LaunchResult r = launcher_.openWith(application, document.value());
    log_.appendResultLine(r.code, r.lastError, r.message);
}

ItemRef ItemOpener::refOf(const std::string& text)
{
    if (known_ && known_->first == text)
        return known_->second;
    return ResolveItemText(fs_, text);
}

Expected<std::string> ItemOpener::handOver(const std::string& text)
{
    const ItemRef ref = refOf(text);
    if (!ref.isStream())
        return paths_.absolutePath(text);
    auto data = fs_.readItem(ref);
    if (!data)
        return data.error();
    return workPlace_.exportFor(ref.file, ref.stream, data.value());
}

void ItemOpener::launchStandIn(std::string_view contentType, const std::string& X)
{
    const Application application = associations_.defaultApplicationForType(std::string(contentType));
    if (application.empty()) {
        log_.appendResultLine(LaunchNoAssociation, NoAssociationError, associations_.noAssociationMessage());
        return;
    }
    launchWith(application, X);
}

void ItemOpener::logNoAssociation()
{
    log_.AppendLogLine(texts::NoAssociationCode, TrimSystemMessage(associations_.noAssociationMessage()));
}

}  // namespace tessaly
