#pragma once
// A desktop of the test's own for GIO: XDG folders in a temporary folder, made before the first
// GIO call of the process (GIO reads them once and caches them). It knows the system's MIME
// database but none of the machine's applications or defaults.

#include <string>

namespace tessaly::test {

struct GioDesktop {
    std::string root;      // the temporary folder holding everything below
    std::string recorder;  // a program that records its arguments and the first one's content
    std::string out;       // where the recorder writes "args" (NUL-separated) and "content"
};

// Makes the desktop in root and points the XDG variables at it; call before anything uses GIO.
void MakeTestDesktop(const std::string& root);
// The desktop made last.
const GioDesktop& TestDesktop();

// Waits (bounded, polling) until a file exists; false on time-out.
bool WaitForFile(const std::string& path, int timeoutMs = 10000);
// Waits (bounded, polling) until the recorder has written its files; false on time-out.
bool WaitForRecorder(int timeoutMs = 10000);
// The arguments the recorder received last, and the content of its first argument.
std::string RecordedArgs();
std::string RecordedContent();
// Removes what the recorder wrote, before the next launch.
void ClearRecorder();

}  // namespace tessaly::test
