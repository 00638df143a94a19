#pragma once
// Cases that need an ordinary user (permissions that root would ignore) run for real under a root
// CI as well: the case is run again in a child that has dropped to the unprivileged id 65534
// through setpriv, in a folder made for it.

#include <string>
#include <vector>

namespace tessaly::test {

constexpr unsigned kUnprivilegedId = 65534;

// Whether this process is such a child.
bool RunningUnprivileged();

// Makes path and everything below it belong to the unprivileged id.
void GiveToUnprivileged(const std::string& path);

struct ChildRun {
    int status = -1;  // exit status; -1 when the child could not be started
    std::string output;  // its standard output and error together
};

// Runs argv as the unprivileged id with no supplementary groups, in a fresh folder of its own that
// serves as its home, temporary and XDG folders. argv[0] is copied there first, so that a build
// folder that ordinary users cannot reach does not matter. The environment is kept otherwise.
ChildRun RunUnprivileged(std::vector<std::string> argv);

// For a GoogleTest case that needs an ordinary user: as root, runs the current test again in such
// a child, reports its failure (or its skip) as this test's and returns true: the caller returns at
// once. In the child, or when not root in the first place, returns false: the caller goes on.
bool RerunThisTestUnprivileged();

}  // namespace tessaly::test
