#pragma once
// Recording stand-ins for the services that opening items reaches the system through.

#include <map>
#include <string>
#include <vector>

#include "launch/launch_system.h"
#include "support/fake_filesystem.h"

namespace tessaly::test {

struct LaunchCall {
    std::string verb;
    std::string file;
    std::vector<std::string> parameters;
    bool operator==(const LaunchCall&) const = default;
};

class FakeLauncher final : public Launcher {
public:
    LaunchResult launch(const std::string& verb, const std::string& file,
                        const std::vector<std::string>& parameters) override
    {
        calls.push_back({verb, file, parameters});
        return result;
    }
    // Recorded as the program started with the document; entries tells which desktop entry said how.
    LaunchResult openWith(const Application& application, const std::string& document) override
    {
        calls.push_back({"", application.program, {document}});
        entries.push_back(application.entry);
        return result;
    }
    bool executeBitMeansNothing(const std::string& path) override
    {
        for (const std::string& volume : permissiveVolumes)
            if (path.rfind(volume, 0) == 0)
                return true;
        return false;
    }
    std::vector<LaunchCall> calls;
    std::vector<std::string> entries;
    std::vector<std::string> permissiveVolumes;  // folders where every file counts as executable
    LaunchResult result{LaunchSucceeded, 0, "Success"};
};

class FakeAssociations final : public Associations {
public:
    Application findApplication(const std::string& path) override
    {
        asked.push_back(path);
        if (auto it = programs.find(path); it != programs.end())
            return withEntry(it->second, path);
        return byName(path);
    }
    Application applicationForName(const std::string& path) override
    {
        asked.push_back(path);
        return byName(path);
    }
    Application byName(const std::string& path)
    {
        const auto dot = path.rfind('.');
        if (dot == std::string::npos)
            return {};
        auto it = byExtension.find(path.substr(dot));
        return it == byExtension.end() ? Application() : withEntry(it->second, path);
    }
    Application defaultApplicationForType(const std::string& contentType) override
    {
        auto it = byType.find(contentType);
        return it == byType.end() ? Application() : withEntry(it->second, {});
    }
    // A program file is its own program; any other program comes with the entry "<program>.desktop".
    static Application withEntry(const std::string& program, const std::string& path)
    {
        if (program.empty() || program == path)
            return {program, {}};
        return {program, program + ".desktop"};
    }
    std::string noAssociationMessage() override { return "No application is registered as handling this file.\n"; }

    std::map<std::string, std::string> programs;     // whole path -> program
    std::map<std::string, std::string> byExtension;  // ".jpg" -> program
    std::map<std::string, std::string> byType{{"text/plain", "/usr/bin/text-editor"},
                                              {"image/png", "/usr/bin/image-editor"}};
    std::vector<std::string> asked;
};

class FakeShellPaths final : public ShellPaths {
public:
    std::string resolveShellLink(const std::string& path) override
    {
        resolved.push_back(path);
        auto it = links.find(path);
        return it == links.end() ? std::string() : it->second;
    }
    std::string longPathOf(const std::string& path) override
    {
        for (const auto& [shortForm, longForm] : longForms)
            if (path.rfind(shortForm, 0) == 0)
                return longForm + path.substr(shortForm.size());
        return path;
    }
    // Relative paths are taken against the folder "/cwd".
    std::string absolutePath(const std::string& path) override
    {
        return path.empty() || path.front() == '/' ? path : "/cwd/" + path;
    }
    std::string shellLinkArguments(const std::string& path) override
    {
        auto it = arguments.find(path);
        return it == arguments.end() ? std::string() : it->second;
    }
    std::map<std::string, std::string> links;
    std::map<std::string, std::string> arguments;
    std::map<std::string, std::string> longForms;  // prefix -> replacement
    std::vector<std::string> resolved;
};

// A work place inside the fake file system.
class FakeWorkPlace final : public WorkPlace {
public:
    explicit FakeWorkPlace(FakeFileSystem& fs) : fs_(fs) {}
    Expected<std::string> folder() override
    {
        if (broken)
            return SysError{13, "Permission denied"};
        return path;
    }
    std::optional<SysError> clearEntry(const std::string& name) override
    {
        cleared.push_back(name);
        if (name == "." || name == ".." || name.empty())
            return SysError{22, "Invalid argument"};
        fs_.files.erase(path + name);
        return std::nullopt;
    }
    Expected<std::string> exportReadOnly(const std::string& name, std::string_view data) override
    {
        if (broken)
            return SysError{13, "Permission denied"};
        if (auto e = clearEntry(name))
            return *e;
        fs_.add(path + name, std::string(data));
        exported.push_back(path + name);
        return path + name;
    }
    std::string path = "/run/work/";
    bool broken = false;
    std::vector<std::string> cleared;
    std::vector<std::string> exported;

private:
    FakeFileSystem& fs_;
};

}  // namespace tessaly::test
