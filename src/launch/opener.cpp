#include "launch/opener.h"

#include <algorithm>
#include <cerrno>

#include "common/oplog.h"
#include "common/shown_name.h"
#include "common/texts.h"
#include "streams/names.h"
#include "streams/origin.h"

namespace tessaly {

namespace {

// text with its "%s" replaced from the left by the values in turn, so that a "%s" inside a value
// stays as it is.
std::string fill(std::string_view text, std::initializer_list<std::string_view> values)
{
    std::string out;
    std::size_t from = 0;
    for (std::string_view value : values) {
        const std::size_t at = text.find("%s", from);
        if (at == std::string_view::npos)
            break;
        out.append(text.substr(from, at - from)).append(value);
        from = at + 2;
    }
    return out.append(text.substr(from));
}

}  // namespace

std::int32_t LaunchCodeForError(int errorNumber)
{
    return errorNumber == EACCES || errorNumber == EPERM ? LaunchAccessDenied : LaunchFileNotFound;
}

std::int32_t LaunchCodeForError(const SysError& error)
{
    return error.kind == ErrorKind::AccessDenied ? LaunchAccessDenied : LaunchFileNotFound;
}

void ItemOpener::TreeView1DblClick(const ItemToOpen& X)
{
    if (TrimControls(X.text).empty())
        return;
    // The name is the stream's own, or the file's final component; the extension is the name's.
    const std::string name = X.ref.isStream() ? X.ref.stream : FinalNameComponent(X.text);
    const std::string N = AsciiLower(name);
    if (N == "favicon") {
        log_.AppendLogLine(texts::LaunchPaint, X.text);
        launchStandIn(ImageEditorType, X);
        return;
    }
    const std::string E = ExtensionOf(name);
    if (E.empty()) {
        log_.AppendLogLine(texts::AssociationImpossible, X.text);
        logNoAssociation();
        return;
    }
    // Whether the item is a program is a matter of its own bytes and permissions: a stream never is
    // one (nothing can run it as it lies), whatever file its text may also name.
    const ItemRef& ref = X.ref;
    const Application app =
        ref.isStream() ? associations_.applicationForName(X.text) : associations_.findApplication(ref.file);
    const std::string& A = app.program;
    if (A.empty()) {
        if (AsciiLower(E) == ".lnk") {
            startLinkTarget(X);
        } else if (N == "zone.identifier") {
            NotePad2Click(X);
        } else {
            log_.AppendLogLine(texts::NoAssociationSet, X.text);
            logNoAssociation();
        }
        return;
    }
    if (AsciiLower(ExtensionOf(A)) == ".dll") {
        log_.AppendLogLine(texts::LaunchByAssociation, A + " " + X.text);
        ShellLaunch("open", item(X), {});
    } else if (!ref.isStream() && A == ref.file) {
        if (!mayStart(fill(texts::AskStartProgram, {ShownName(X.text)}), reasonsToAsk(ref), X.text))
            return;
        log_.AppendLogLine(texts::LaunchProgram, X.text);
        ShellLaunch({}, item(X), {});
    } else {
        log_.AppendLogLine(texts::LaunchAssociatedProgram, A + " " + X.text);
        launchWith(app, X);
    }
}

void ItemOpener::NotePad2Click(const ItemToOpen& X)
{
    log_.AppendLogLine(texts::LaunchNotepad, X.text);
    launchStandIn(TextEditorType, X);
}

void ItemOpener::OpenBy2Click(const ItemToOpen& X, ApplicationChooser& chooser)
{
    const std::optional<Application> A = chooser.chooseApplication(X.text);
    if (!A)
        return;
    log_.AppendLogLine(texts::LaunchWithChoice, A->program + " " + X.text);
    launchWith(*A, X);
}

void ItemOpener::OpenByDirect2Click(const ItemToOpen& X,
                                    const std::function<std::optional<std::string>()>& OpenDialog2)
{
    const std::string& itemText = X.text;
    const std::optional<std::string> G = OpenDialog2();
    if (!G)
        return;
    // A program picked by hand is still a program: one from the Internet is asked about as well.
    if (associations_.findApplication(*G).program == *G &&
        !mayStart(fill(texts::AskStartProgram, {ShownName(*G)}), reasonsToAsk({*G, {}}), *G + " " + itemText))
        return;
    log_.AppendLogLine(texts::LaunchWithGivenProgram, *G + " " + itemText);
    ShellLaunch({}, plain(*G), {item(X)});
}

std::optional<CopyError> ItemOpener::CopyOpen2Click(const ItemToOpen& X)
{
    const ItemRef& source = X.ref;
    const std::string name = source.isStream() ? source.stream : FinalNameComponent(X.text);
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
    log_.AppendLogLine(texts::CopiedToWorkPlace, X.text + " " + D);
    // The copy is there to be read: it opens in the program for its name and never runs, even
    // when the item is a program (a copy that could run would bypass every question about it).
    const std::string A = associations_.applicationForName(X.text).program;
    log_.AppendLogLine(texts::LaunchByAssociation, A + " " + K);
    ShellLaunch("open", plain(K), {});
    return std::nullopt;
}

void ItemOpener::Property2Click(const ItemToOpen& X, PropertiesSheet& sheet)
{
    sheet.ShowPropertiesSheet(X.text);
    log_.AppendLogLine(texts::ShowProperties, X.text);
}

void ItemOpener::ShellLaunch(std::string_view verb, const Argument& file, const std::vector<Argument>& parameters)
{
    auto resolve = [this](const Argument& a) -> Expected<std::string> {
        return a.item ? handOver(a.text, *a.item) : Expected<std::string>(a.text);
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
        log_.appendResultLine(LaunchCodeForError(*failure), std::uint32_t(failure->code), failure->message);
        return;
    }
    const LaunchResult r = launcher_.launch(std::string(verb), program.value(), arguments);
    log_.appendResultLine(r.code, r.lastError, r.message);
}

void ItemOpener::launchWith(const Application& application, const ItemToOpen& X)
{
    auto document = handOver(X.text, X.ref);
    if (!document) {
        log_.appendResultLine(LaunchCodeForError(document.error()), std::uint32_t(document.error().code),
                              document.error().message);
        return;
    }
    const LaunchResult r = launcher_.openWith(application, document.value());
    log_.appendResultLine(r.code, r.lastError, r.message);
}

Expected<std::string> ItemOpener::handOver(const std::string& text, const ItemRef& ref)
{
    if (!ref.isStream())
        return paths_.absolutePath(text);
    auto data = fs_.readItem(ref);
    if (!data)
        return data.error();
    return workPlace_.exportFor(ref.file, ref.stream, data.value());
}

void ItemOpener::launchStandIn(std::string_view contentType, const ItemToOpen& X)
{
    const Application application = associations_.defaultApplicationForType(std::string(contentType));
    if (application.empty()) {
        log_.appendResultLine(LaunchNoAssociation, NoAssociationError, associations_.noAssociationMessage());
        return;
    }
    launchWith(application, X);
}

void ItemOpener::startLinkTarget(const ItemToOpen& X)
{
    std::string T, arguments;
    if (auto path = handOver(X.text, X.ref)) {
        T = LongPathOf(paths_.resolveShellLink(path.value()));
        arguments = paths_.shellLinkArguments(path.value());
    }
    // A link without a target starts nothing: its failure shows in the result line alone.
    if (!T.empty()) {
        std::vector<std::string> reasons = reasonsToAsk(X.ref);
        for (std::string& r : reasonsToAsk({T, {}}))
            if (std::find(reasons.begin(), reasons.end(), r) == reasons.end())
                reasons.push_back(std::move(r));
        std::string head = fill(texts::AskStartLinkTarget, {ShownName(X.text), ShownName(T)});
        if (!arguments.empty())
            head.append("\n").append(fill(texts::AskLinkArguments, {ShownName(arguments)}));
        if (!mayStart(head, reasons, X.text + " " + T))
            return;
    }
    log_.AppendLogLine(texts::LaunchLinkTarget, X.text + " " + T);
    // The target as the link stores it: a path of its own, not an item of the workspace.
    ShellLaunch({}, plain(T), {});
}

std::vector<std::string> ItemOpener::reasonsToAsk(const ItemRef& item)
{
    std::vector<std::string> reasons;
    if (item.isStream())
        reasons.emplace_back(texts::BecauseStream);
    // A stream tells the origin of the file it belongs to.
    const Origin origin = ReadOrigin(fs_, item.file);
    if (origin.zoneId && (*origin.zoneId == 3 || *origin.zoneId == 4)) {
        reasons.push_back(fill(texts::BecauseZone, {ZoneText(*origin.zoneId)}));
        if (!origin.hostUrl.empty())
            reasons.push_back(fill(texts::BecauseOriginUrl, {ShownName(origin.hostUrl)}));
    }
    if (!origin.xdgOriginUrl.empty())
        reasons.push_back(fill(texts::BecauseOriginUrl, {ShownName(origin.xdgOriginUrl)}));
    if (launcher_.executeBitMeansNothing(item.file))
        reasons.emplace_back(texts::BecauseVolume);
    return reasons;
}

bool ItemOpener::mayStart(const std::string& head, const std::vector<std::string>& reasons, const std::string& subject)
{
    if (reasons.empty())
        return true;
    std::string question = head + "\n\n";
    for (const std::string& r : reasons)
        question.append(r).append("\n");
    question.append("\n").append(texts::AskStartClosing);
    if (consent_ && consent_->allowStart(question))
        return true;
    log_.AppendLogLine(texts::LaunchDeclined, subject);
    return false;
}

void ItemOpener::logNoAssociation()
{
    log_.AppendLogLine(texts::NoAssociationCode, TrimSystemMessage(associations_.noAssociationMessage()));
}

}  // namespace tessaly
