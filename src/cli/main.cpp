// The command-line program: no window, the same core and platform layer as the window.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/cli_system.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;
tessaly::SignalHandler onEnd = SIG_DFL;

extern "C" void onInterrupt(int)
{
    // The scan sees the flag at its next entry and still closes the document it writes; a second
    // Ctrl+C ends the program at once.
    interrupted = 1;
    std::signal(SIGINT, onEnd);
}

}  // namespace

int main(int argc, char* argv[])
{
    tessaly::UseBinaryStandardStreams();
    onEnd = tessaly::EndCleanlyOnSignals();
    const auto files = tessaly::MakeCliFileSystem();
    const auto folders = tessaly::MakeCliFolderSystem();
    tessaly::CliEnvironment env{*files, *folders, stdin, stdout, stderr, tessaly::StandardErrorIsTerminal(), &interrupted,
                                [] { std::signal(SIGINT, onInterrupt); }};
    return tessaly::RunCli(tessaly::CommandLineArguments(argc, argv), env);
}
