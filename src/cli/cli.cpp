#include "cli/cli.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "app/oplog.h"
#include "app/shown_name.h"
#include "app/texts.h"
#include "detect/scan.h"
#include "detect/scan_export.h"
#include "platform/system.h"
#include "streams/copy_item.h"
#include "streams/enumerate.h"
#include "streams/icons.h"

namespace tessaly {

namespace {

constexpr std::string_view MainHelp =
    "使い方: tessaly <コマンド> [引数...]\n"
    "ファイルの代替データストリーム (Linux では user. 拡張属性) を一覧、読み出し、書き込み、検出します。\n"
    "\n"
    "コマンド:\n"
    "  ls PATH...                      各ファイルのストリームとサイズを一覧表示\n"
    "  cat FILE:STREAM | FILE STREAM    ストリームの内容を標準出力へ書き出し\n"
    "  put FILE STREAM [SOURCE|-]       ファイルまたは標準入力からストリームを書き込み\n"
    "  scan FOLDER [--format F] [-o OUT] フォルダ以下のストリームを持つファイルを検出\n"
    "\n"
    "各コマンドの詳細は「tessaly <コマンド> --help」で表示します。\n"
    "終了コード: 0 完了、1 該当なし、2 使い方の誤り、3 読み書きできない項目あり・出力に書き込めない、\n"
    "  4 検出は完了したが読めないフォルダ・ファイルを除外した (scan)、130 中断\n";

constexpr std::string_view LsHelp =
    "使い方: tessaly ls PATH...\n"
    "各ファイルのストリームを 1 行に 1 つ、「パス:ストリーム名」<TAB>サイズ (バイト) の形で表示します。\n"
    "名前の制御文字や不正なバイトは \\n や \\xff のように、「\\」は \\\\ と書き出されます。\n"
    "終了コード: 0 ストリームあり、1 ストリームなし、2 使い方の誤り、3 読めないパスあり・出力に書き込めない\n";

constexpr std::string_view CatHelp =
    "使い方: tessaly cat FILE:STREAM\n"
    "       tessaly cat FILE STREAM\n"
    "ストリームの内容をそのまま標準出力へ書き出します。名前に「:」を含むストリームは 2 つ目の形で\n"
    "指定します。FILE:STREAM がそのままの名前で存在するときは、そのファイルの内容を書き出します。\n"
    "終了コード: 0 完了、2 使い方の誤り、3 読み出せない・出力に書き込めない\n";

constexpr std::string_view PutHelp =
    "使い方: tessaly put [--replace] FILE STREAM [SOURCE|-]\n"
    "SOURCE (省略時または「-」のときは標準入力) の内容を FILE のストリーム STREAM として書き込みます。\n"
    "同じ名前のストリームが既にあるときは、--replace を付けない限り書き込みません。\n"
    "  --replace   既存のストリームを置き換える\n"
    "終了コード: 0 完了、2 使い方の誤り、3 読み書きできない (既存のストリームを含む)\n";

constexpr std::string_view ScanHelp =
    "使い方: tessaly scan FOLDER [--format text|csv|json] [-o FILE]\n"
    "FOLDER 以下を検索し、ストリームを持つファイルと各ストリームを検出タブと同じ順に書き出します。\n"
    "  --format F   text (既定: 名前<TAB>サイズ<TAB>更新日付)、csv (RFC 4180)、json\n"
    "  -o FILE      標準出力の代わりに FILE へ書き出す\n"
    "名前の制御文字や不正なバイトは \\n や \\xff のように、「\\」は \\\\ と書き出されます。\n"
    "読めないフォルダやファイルは除外して続け、1 つごとに理由を標準エラー出力に表示し、結果にも\n"
    "記録します。標準エラー出力が端末のときは進行状況を表示します。Ctrl+C で中断すると、それまでの\n"
    "結果を正しい形式のまま書き出して終了します。\n"
    "終了コード: 0 検出あり、1 該当なし、2 使い方の誤り、3 フォルダを開けない・書き出せない、\n"
    "  4 完了したが読めないフォルダ・ファイルを除外した (結果は不完全)、130 中断\n";

// The pattern with its one "%s" filled in.
std::string FillIn(std::string_view pattern, std::string_view value)
{
    std::string out(pattern);
    const auto at = out.find("%s");
    return at == std::string::npos ? out : out.replace(at, 2, value);
}

constexpr std::string_view TryHelp = "「tessaly --help」で使い方を表示します。\n";

struct Parsed {
    std::vector<std::string> positional;
    bool help = false;
    bool replace = false;
    std::optional<std::string> format;
    std::optional<std::string> output;
    std::string error;  // a usage error, or empty
};

// Options may come anywhere; "--" ends them, and a lone "-" is an argument (standard input).
Parsed Parse(const std::vector<std::string>& args, std::size_t from, std::string_view command)
{
    Parsed p;
    bool options = true;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!options || a.size() < 2 || a[0] != '-') {
            p.positional.push_back(a);
            continue;
        }
        const auto value = [&](std::string_view name, std::optional<std::string>& into) {
            const std::string prefix = std::string(name) + "=";
            if (a.rfind(prefix, 0) == 0) {
                into = a.substr(prefix.size());
                return true;
            }
            if (a != name)
                return false;
            if (i + 1 >= args.size())
                p.error = "オプション " + std::string(name) + " に値がありません";
            else
                into = args[++i];
            return true;
        };
        if (a == "--") {
            options = false;
        } else if (a == "--help" || a == "-h") {
            p.help = true;
        } else if (command == "put" && a == "--replace") {
            p.replace = true;
        } else if (command == "scan" && (value("--format", p.format) || value("-o", p.output) ||
                                         value("--output", p.output))) {
        } else {
            p.error = "不明なオプション " + ShownName(a);
        }
        if (!p.error.empty())
            return p;
    }
    return p;
}

class Cli {
public:
    explicit Cli(CliEnvironment& env) : env_(env) {}

    int usage(std::string_view command, const std::string& message)
    {
        std::fprintf(env_.err, "tessaly%s%s: %s\n", command.empty() ? "" : " ", std::string(command).c_str(),
                     message.c_str());
        std::fputs(std::string(TryHelp).c_str(), env_.err);
        return ExitUsage;
    }

    void fail(std::string_view command, const std::string& message)
    {
        std::fprintf(env_.err, "tessaly %s: %s\n", std::string(command).c_str(), message.c_str());
    }

    int help(std::string_view command, std::string_view text)
    {
        if (!write(text) || std::fflush(env_.out) != 0)
            return outputFailed(command);
        return ExitDone;
    }

    bool write(std::string_view text)
    {
        return std::fwrite(text.data(), 1, text.size(), env_.out) == text.size();
    }

    // Standard output could not take what was written (a full disk, a closed pipe).
    int outputFailed(std::string_view command)
    {
        const int code = errno;
        std::string message = "標準出力に書き込めません";
        if (code != 0)
            message.append("。").append(std::strerror(code));
        std::fprintf(env_.err, "tessaly%s%s: %s\n", command.empty() ? "" : " ", std::string(command).c_str(),
                     message.c_str());
        return ExitItemFailed;
    }

    int ls(const Parsed& p)
    {
        if (p.positional.empty())
            return usage("ls", "パスを指定してください");
        bool found = false, missing = false;
        StreamList list;
        std::string out;
        for (const std::string& path : p.positional) {
            if (auto problem = unreachable(path)) {
                fail("ls", *problem);
                missing = true;
                continue;
            }
            EnumerateStreams(env_.fs, path, list);
            if (list.empty()) {
                if (auto error = unreadableStreams(path)) {
                    fail("ls", CopyErrorText({CopyError::Side::Source, {}, *error}, ShownName(path)));
                    missing = true;
                    continue;
                }
            }
            out.clear();
            for (const StreamEntry& entry : list)
                out.append(ExportedName(entry.text)).append(1, '\t').append(std::to_string(entry.size)).append(1, '\n');
            found = found || !list.empty();
            if (!write(out))
                return outputFailed("ls");
        }
        if (std::fflush(env_.out) != 0)
            return outputFailed("ls");
        if (missing)
            return ExitItemFailed;
        return found ? ExitDone : ExitNothingFound;
    }

    int cat(const Parsed& p)
    {
        if (p.positional.empty() || p.positional.size() > 2)
            return usage("cat", p.positional.empty() ? "FILE:STREAM を指定してください" : "引数が多すぎます");
        const ItemRef item = p.positional.size() == 2 ? ItemRef{p.positional[0], p.positional[1]}
                                                      : ResolveItemText(env_.fs, p.positional[0]);
        if (auto problem = missingItem(item)) {
            fail("cat", *problem);
            return ExitItemFailed;
        }
        auto reader = env_.fs.openRead(item);
        if (!reader.ok()) {
            fail("cat", CopyErrorText({CopyError::Side::Source, {}, reader.error()}, ShownName(item.text())));
            return ExitItemFailed;
        }
        const auto buffer = std::make_unique<char[]>(CopyPieceSize);
        for (;;) {
            auto got = reader.value()->read(buffer.get(), CopyPieceSize);
            if (!got.ok()) {
                fail("cat", CopyErrorText({CopyError::Side::Source, {}, got.error()}, ShownName(item.text())));
                return ExitItemFailed;
            }
            if (got.value() == 0)
                break;
            if (std::fwrite(buffer.get(), 1, got.value(), env_.out) != got.value())
                return outputFailed("cat");
        }
        return std::fflush(env_.out) == 0 ? ExitDone : outputFailed("cat");
    }

    int put(const Parsed& p)
    {
        if (p.positional.size() < 2 || p.positional.size() > 3)
            return usage("put", p.positional.size() < 2 ? "FILE と STREAM を指定してください" : "引数が多すぎます");
        const ItemRef target{p.positional[0], p.positional[1]};
        if (target.stream.empty())
            return usage("put", "ストリーム名が空です");
        if (auto problem = unreachable(target.file)) {
            fail("put", *problem);
            return ExitItemFailed;
        }
        if (!p.replace && env_.fs.streamExists(target.file, target.stream)) {
            fail("put", "ストリーム \"" + ShownName(target.text()) +
                            "\" は既にあります。置き換えるには --replace を付けてください");
            return ExitItemFailed;
        }
        const bool fromInput = p.positional.size() < 3 || p.positional[2] == "-";
        std::optional<CopyError> error;
        if (fromInput) {
            InputReader input(env_.in);
            error = CopyItemData(env_.fs, input, "-", target);
        } else {
            error = CopyItemData(env_.fs, ItemRef{p.positional[2], {}}, target);
        }
        if (error) {
            const std::string shown = error->side == CopyError::Side::Source && fromInput ? "標準入力" : ShownName(error->path);
            std::string message = CopyErrorText(*error, shown);
            if (error->targetChanged)
                message += " " + FillIn(texts::TargetPartlyWritten, ShownName(target.text()));
            fail("put", message);
            return ExitItemFailed;
        }
        return ExitDone;
    }

    int scan(const Parsed& p);

private:
    // Standard input as an item to copy from.
    class InputReader final : public ItemReader {
    public:
        explicit InputReader(std::FILE* in) : in_(in) {}
        Expected<std::size_t> read(char* buffer, std::size_t size) override
        {
            const std::size_t got = std::fread(buffer, 1, size, in_);
            if (got == 0 && std::ferror(in_))
                return SysError{5, "標準入力を読めません"};
            return got;
        }

    private:
        std::FILE* in_;
    };

    // Not found, or there but out of reach: the system's own reason (a folder the user may not
    // search is not a missing file).
    std::optional<std::string> unreachable(const std::string& path)
    {
        const auto error = env_.fs.pathError(path);
        if (!error)
            return std::nullopt;
        if (error->kind == ErrorKind::NotFound)
            return "\"" + ShownName(path) + "\" は見つかりません";
        return CopyErrorText({CopyError::Side::Source, {}, *error}, ShownName(path));
    }

    // Why a file that shows no streams may still have some: they are there but may not be read.
    std::optional<SysError> unreadableStreams(const std::string& path)
    {
        const auto slash = path.rfind('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty())
            return std::nullopt;
        auto folder = env_.folders.openFolder(slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1));
        if (!folder.ok())
            return std::nullopt;
        auto streams = env_.fs.readStreamsIn(*folder.value(), name, path);
        return streams.ok() ? std::nullopt : std::optional<SysError>(streams.error());
    }

    std::optional<std::string> missingItem(const ItemRef& item)
    {
        if (auto problem = unreachable(item.file))
            return problem;
        if (item.isStream() && !env_.fs.streamExists(item.file, item.stream)) {
            // A stream that is there but may not be read is reported with the reader's reason.
            auto reader = env_.fs.openRead(item);
            if (reader.ok() || (reader.error().kind != ErrorKind::NotFound && reader.error().code != ENODATA))
                return std::nullopt;
            return "ストリーム \"" + ShownName(item.text()) + "\" はありません";
        }
        return std::nullopt;
    }

    CliEnvironment& env_;
};

// The scan's window: rows go to the document as each file is done, the progress line to a terminal.
class CliScanView final : public ScanView {
public:
    CliScanView(CliEnvironment& env, ScanExport& out) : env_(env), out_(out) {}

    void attach(FolderScan& scan) { scan_ = &scan; }

    void pump() override
    {
        if (env_.interrupted && *env_.interrupted)
            scan_->counters().CancelRequested = true;
    }

    void showProgress(const std::string& text) override
    {
        flushRows();
        reportSkipped();
        if (!env_.errIsTerminal)
            return;
        // A terminal redraws slowly: the line is rewritten a few times a second at most.
        const auto now = std::chrono::steady_clock::now();
        if (now - lastShown_ < std::chrono::milliseconds(100))
            return;
        lastShown_ = now;
        std::fprintf(env_.err, "\r%s ", text.c_str());
        shown_ = true;
    }

    std::string formatModified(const LocalTime&, bool) override { return {}; }

    void flushRows()
    {
        const auto& rows = scan_->rows();
        if (written_ < rows.size()) {
            out_.addRows(rows, written_);
            written_ = rows.size();
            // Written rows are not needed again: a large tree is written without being held whole.
            scan_->releaseRows(written_);
        }
    }

    // One line on standard error for each folder or file passed over since the last call.
    void reportSkipped()
    {
        const auto& skipped = scan_->skipped();
        for (; reported_ < skipped.size(); ++reported_) {
            const ScanSkip& skip = skipped[reported_];
            std::fprintf(env_.err, "%stessaly scan: \"%s\" を読めないため除外しました。%s\n",
                         shown_ ? "\r\x1b[K" : "", ShownName(skip.path).c_str(), ShownName(skip.error.message).c_str());
        }
    }

    void endLine()
    {
        if (shown_)
            std::fputs("\r", env_.err);
    }

private:
    CliEnvironment& env_;
    ScanExport& out_;
    FolderScan* scan_ = nullptr;
    std::size_t written_ = 0;
    std::size_t reported_ = 0;
    std::chrono::steady_clock::time_point lastShown_{};
    bool shown_ = false;
};

class NoIcons final : public IconList {
public:
    void clear() override { n_ = 0; }
    int count() const override { return n_; }
    int addForExtension(const std::string&) override { return n_++; }
    std::optional<int> addIconImage(const std::string&, std::function<void()>) override { return std::nullopt; }
    int addEmpty() override { return n_++; }

private:
    int n_ = 0;
};

class NoLog final : public LogSink {
public:
    void appendLine(const std::string&) override {}
    bool keepsLines() const override { return false; }
};

int Cli::scan(const Parsed& p)
{
    if (p.positional.size() != 1)
        return usage("scan", p.positional.empty() ? "フォルダを指定してください" : "引数が多すぎます");
    const auto format = ExportFormatNamed(p.format.value_or("text"));
    if (!format)
        return usage("scan", "形式は text、csv、json のどれかです: " + ShownName(*p.format));

    if (p.output && p.output->empty())
        return usage("scan", "出力ファイル名が空です");
    std::string folder = p.positional[0];
    if (folder.back() != '/')
        folder.push_back('/');
    {
        auto probe = env_.folders.openFolder(folder);
        if (!probe.ok()) {
            fail("scan", "フォルダ \"" + ShownName(folder) + "\" を開けません。" + probe.error().message);
            return ExitItemFailed;
        }
    }

    // The document goes to standard output or through the file system's writer, which puts the new
    // file in place of the old one only when it is complete.
    // From here on a first Ctrl+C stops the scan and still writes the document found so far.
    if (env_.catchInterrupt)
        env_.catchInterrupt();
    std::unique_ptr<ItemWriter> writer;
    const bool toFile = p.output && *p.output != "-";
    if (toFile) {
        auto opened = env_.fs.openWrite(ItemRef{*p.output, {}});
        if (!opened.ok()) {
            fail("scan", CopyErrorText({CopyError::Side::Target, {}, opened.error()}, ShownName(*p.output)));
            return ExitItemFailed;
        }
        writer = std::move(opened.value());
    }
    std::optional<SysError> writeError;
    bool stdoutFailed = false;
    int outputErrno = 0;
    FolderScan* running = nullptr;
    ScanExport document(*format, folder, [&](std::string_view piece) {
        if (writeError || stdoutFailed)
            return;
        if (writer)
            writeError = writer->write(piece);
        else
            stdoutFailed = std::fwrite(piece.data(), 1, piece.size(), env_.out) != piece.size();
        if (stdoutFailed)
            outputErrno = errno;
        // A document that cannot be written is not worth the rest of the walk.
        if ((writeError || stdoutFailed) && running)
            running->counters().CancelRequested = true;
    });

    CliScanView view(env_, document);
    NoIcons icons;
    NoLog sink;
    OperationLog log(sink);
    FolderScan scan(env_.folders, env_.fs, icons, log, view);
    view.attach(scan);
    running = &scan;
    document.begin();
    scan.ScanFolder(folder);
    view.flushRows();
    view.reportSkipped();
    const bool interrupted = env_.interrupted && *env_.interrupted;
    document.end(scan.counters(), scan.skipped());
    view.endLine();
    if (env_.errIsTerminal)
        std::fprintf(env_.err, "%s\n", ScanSummary(scan.counters(), ",").c_str());

    if (writer && !writeError)
        writeError = writer->finish();
    if (!writer && !stdoutFailed && std::fflush(env_.out) != 0) {
        stdoutFailed = true;
        outputErrno = errno;
    }
    if (writeError) {
        fail("scan", CopyErrorText({CopyError::Side::Target, {}, *writeError}, ShownName(*p.output)));
        return ExitItemFailed;
    }
    if (stdoutFailed) {
        errno = outputErrno;
        return outputFailed("scan");
    }
    if (interrupted)
        return ExitInterrupted;
    if (OutcomeOf(scan.counters()) != ScanOutcome::Complete)
        return ExitIncomplete;
    return scan.counters().ParentsFound > 0 ? ExitDone : ExitNothingFound;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, CliEnvironment& env)
{
    Cli cli(env);
    if (args.empty())
        return cli.usage({}, "コマンドを指定してください");
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help")
        return cli.help({}, MainHelp);
    const struct {
        std::string_view name, help;
        int (Cli::*run)(const Parsed&);
    } commands[] = {{"ls", LsHelp, &Cli::ls}, {"cat", CatHelp, &Cli::cat}, {"put", PutHelp, &Cli::put},
                    {"scan", ScanHelp, &Cli::scan}};
    for (const auto& c : commands) {
        if (command != c.name)
            continue;
        const Parsed parsed = Parse(args, 1, c.name);
        if (parsed.help)
            return cli.help(c.name, c.help);
        if (!parsed.error.empty())
            return cli.usage(c.name, parsed.error);
        // An empty argument names nothing: taken as it is, "" would stand for the current folder
        // or, with a "/" added, for the whole file system.
        for (const std::string& a : parsed.positional)
            if (a.empty())
                return cli.usage(c.name, "空の引数は指定できません");
        return (cli.*c.run)(parsed);
    }
    return cli.usage({}, "不明なコマンド " + ShownName(command));
}

}  // namespace tessaly
