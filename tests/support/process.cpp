#include "support/process.h"

#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string_view>

extern char** environ;

namespace tessaly::test {

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options)
{
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
        return {};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (!options.folder.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    const auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    const auto replaced = [&](std::string_view entry) {
        for (const auto& e : options.environment)
            if (nameOf(e) == nameOf(entry))
                return true;
        for (const auto& name : options.unset)
            if (name == nameOf(entry))
                return true;
        return false;
    };
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e)
        if (!replaced(*e))
            envStore.emplace_back(*e);
    for (const auto& e : options.environment)
        envStore.push_back(e);
    std::vector<char*> env;
    for (auto& e : envStore)
        env.push_back(e.data());
    env.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    ProcessResult result;
    if (spawned != 0) {
        ::close(in[1]);
        ::close(out[0]);
        ::close(err[0]);
        result.err = std::string("cannot start ") + argv[0] + ": " + std::strerror(spawned);
        return result;
    }
    // Standard input is fed while the output is read, so that neither side can block the other.
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    std::size_t fed = 0;
    int inFd = in[1];
    if (options.input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    bool killed = false;
    int outFd = out[0], errFd = err[0];
    char buffer[65536];
    ::signal(SIGPIPE, SIG_IGN);
    bool signalled = options.signalWhenBlocked == 0;
    while (outFd >= 0 || errFd >= 0) {
        if (!signalled && !result.out.empty() && outFd >= 0) {
            const int capacity = ::fcntl(outFd, F_GETPIPE_SZ);
            int queued = 0;
            const auto running = [&] {
                siginfo_t info{};
                return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
            };
            while (::ioctl(outFd, FIONREAD, &queued) == 0 && queued < capacity && running() &&
                   std::chrono::steady_clock::now() < deadline)
                ::poll(nullptr, 0, 5);
            ::kill(pid, options.signalWhenBlocked);
            signalled = true;
        }
        pollfd fds[3];
        int n = 0;
        if (outFd >= 0)
            fds[n++] = {outFd, POLLIN, 0};
        if (errFd >= 0)
            fds[n++] = {errFd, POLLIN, 0};
        if (inFd >= 0)
            fds[n++] = {inFd, POLLOUT, 0};
        ::poll(fds, nfds_t(n), 200);
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == inFd) {
                const ssize_t w = ::write(inFd, options.input.data() + fed, options.input.size() - fed);
                if (w > 0)
                    fed += std::size_t(w);
                if (w < 0 || fed == options.input.size()) {
                    ::close(inFd);
                    inFd = -1;
                }
                continue;
            }
            const ssize_t r = ::read(fds[i].fd, buffer, sizeof buffer);
            if (r <= 0) {
                ::close(fds[i].fd);
                (fds[i].fd == outFd ? outFd : errFd) = -1;
                continue;
            }
            if (fds[i].fd == outFd) {
                result.out.append(buffer, std::size_t(r));
            } else {
                result.err.append(buffer, std::size_t(r));
            }
        }
    }
    if (inFd >= 0)
        ::close(inFd);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.signalled = !WIFEXITED(status);
    return result;
}

std::uint64_t BytesRead(int pid)
{
    std::ifstream io(pid == 0 ? std::string("/proc/self/io") : "/proc/" + std::to_string(pid) + "/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return 0;
}

}  // namespace tessaly::test
