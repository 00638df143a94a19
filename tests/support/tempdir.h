#pragma once
// A fresh temporary folder per test, removed with everything in it afterwards.

#include <string>
#include <vector>

namespace tessaly::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Creates a file with content and returns its path.
    std::string write(const std::string& name, const std::string& content) const;
    // Whether user attributes can be set on files in this folder.
    bool supportsUserAttributes() const;

private:
    std::string path_;
};

// Sets a user attribute (a stream) on a file; false when the file system refuses.
bool SetStream(const std::string& file, const std::string& name, const std::string& value);
bool RunningAsRoot();
// A file's whole content ("" when it cannot be read).
std::string ReadFile(const std::string& path);
// The names of a file's streams in the order its file system lists them: ext4 lists them in the
// order they were set, tmpfs the other way round.
std::vector<std::string> StreamNames(const std::string& file);
// The value of a user attribute (a stream) of a file, or "<none>".
std::string StreamValue(const std::string& file, const std::string& name);

}  // namespace tessaly::test
