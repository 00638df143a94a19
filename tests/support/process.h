#pragma once
// Runs a program as a separate process with given standard input, and collects what it writes.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::test {

struct ProcessResult {
    int exitCode = -1;  // the exit status, or 128 + the signal that ended it; -1 when not started
    bool signalled = false;  // ended by a signal
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string input;
    std::vector<std::string> environment;  // "NAME=value" in place of the test's own value, if any
    std::vector<std::string> unset;        // names taken out of the test's environment
    std::string folder;                    // the working folder; the test's own when empty
    // When not 0: once the first output has arrived, standard output is left unread until the pipe
    // is full (the program is then held in a write, with most of its work still ahead), this signal
    // is sent, and reading goes on.
    int signalWhenBlocked = 0;
    int timeoutSeconds = 120;  // the process is killed after that and the result says so (exit 137)
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Bytes a process has had from read-like calls so far ("rchar" of /proc/PID/io; 0 is this process).
std::uint64_t BytesRead(int pid = 0);

}  // namespace tessaly::test
