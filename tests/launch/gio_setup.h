#pragma once
// A desktop of the test's own for GIO: XDG folders in a temporary folder, made before the first
// GIO call of the process (GIO reads them once and caches them). It knows the system's MIME
// database but none of the machine's applications or defaults.

#include <string>
#include <vector>

namespace tessaly::test {

struct GioDesktop {
    std::string root;      // the temporary folder holding everything below
    std::string recorder;  // a program that records its arguments and the first one's content
    std::string out;       // where the recorder writes "args" (NUL-separated) and "content"
};

// A further desktop entry, made the default for its content type. "@BIN@" in exec and lines
// stands for the desktop's own program folder (where the recorder lives).
struct ExtraEntry {
    std::string id;     // file name, "....desktop"
    std::string exec;   // the Exec line
    std::string type;   // the content type it is the default for
    std::string lines;  // further key lines, each ending with "\n"
};

// Makes the desktop in root and points the XDG variables at it; call before anything uses GIO.
void MakeTestDesktop(const std::string& root, const std::vector<ExtraEntry>& extra = {});
// The desktop made last.
const GioDesktop& TestDesktop();

// Waits (polling) until a file exists; false on time-out. The bound only stops a test whose
// program never ran: a loaded machine may take many seconds to start one.
bool WaitForFile(const std::string& path, int timeoutMs = 60000);
// Waits (bounded, polling) until the recorder has written its files; false on time-out.
bool WaitForRecorder(int timeoutMs = 60000);
// The arguments the recorder received last, and the content of its first argument.
std::string RecordedArgs();
std::string RecordedContent();
// Removes what the recorder wrote, before the next launch.
void ClearRecorder();

}  // namespace tessaly::test
