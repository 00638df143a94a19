#include "desktop/desktop_rules.h"

#include "app/texts.h"
#include "streams/path_rules.h"

namespace tessaly {

namespace {

// The last separator of the system's paths ("\" and "/" on Windows); npos when there is none.
std::size_t lastSeparator(std::string_view path)
{
    for (std::size_t i = path.size(); i-- > 0;)
        if (IsSeparator(path[i], NativePathStyle))
            return i;
    return std::string_view::npos;
}

}  // namespace

std::string ReplaceExtension(std::string_view path, std::string_view ext)
{
    const std::size_t slash = lastSeparator(path);
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot != std::string_view::npos && dot > nameStart)
        path = path.substr(0, dot);
    return std::string(path) + std::string(ext);
}

std::string FolderOf(std::string_view path)
{
    const std::size_t slash = lastSeparator(path);
    if (slash == std::string_view::npos)
        return ".";
    // The root keeps its separator: "/", "C:\".
    const std::size_t root = RootLength(path, NativePathStyle);
    return std::string(path.substr(0, slash < root ? root : slash));
}

std::string FileNameOf(std::string_view path)
{
    const std::size_t slash = lastSeparator(path);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string XdgBaseDir(std::string_view value, std::string_view home, std::string_view fallback)
{
    if (!value.empty() && value.front() == '/')
        return std::string(value);
    std::string base(home);
    if (base.empty() || base.back() != '/')
        base += '/';
    return base + std::string(fallback);
}

std::string SettingsFileBeside(std::string_view exePath)
{
    return ReplaceExtension(exePath, ".ini");
}

std::string SettingsFileInConfig(std::string_view exePath, std::string_view configHome)
{
    return std::string(configHome) + "/" + std::string(texts::ApplicationTitle) + "/" +
           FileNameOf(SettingsFileBeside(exePath));
}

std::vector<std::string> HelpFileCandidates(std::string_view exePath, std::string_view shareRelative)
{
    const std::string beside = ReplaceExtension(exePath, ".html");
    return {beside, FolderOf(exePath) + "/" + std::string(shareRelative) + "/" + FileNameOf(beside)};
}

std::string DesktopEntryFileName()
{
    return std::string(texts::ApplicationTitle) + ".desktop";
}

std::string DesktopEntryEscape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case ' ':
            // A leading blank would be taken for the space after "=".
            out += i == 0 ? "\\s" : " ";
            break;
        default: out += c;
        }
    }
    return out;
}

std::string DesktopEntryExecArgument(std::string_view argument)
{
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
        if (c == '%')
            quoted += '%';
    }
    quoted += '"';
    return DesktopEntryEscape(quoted);
}

std::string DesktopEntryText(std::string_view name, std::string_view exePath, std::string_view icon)
{
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Version=1.0\n";
    text += "Name=" + DesktopEntryEscape(name) + "\n";
    text += "Exec=" + DesktopEntryExecArgument(exePath) + " %f\n";
    text += "Icon=" + DesktopEntryEscape(icon) + "\n";
    text += "Terminal=false\n";
    text += "Categories=Utility;FileTools;\n";
    return text;
}

std::string AboutText(std::string_view exePath)
{
    std::string text = std::string(texts::ApplicationTitle) + " " + std::string(texts::VersionText);
    for (std::string_view line : {exePath, std::string_view(), texts::AboutCopyright, texts::AboutMail, texts::HomePageUrl})
        text += "\n" + std::string(line);
    return text;
}

AboutGradient NextAboutGradient(std::mt19937& random)
{
    std::uniform_int_distribution<std::uint32_t> colours(0, 0xFFFFFE);
    return AboutGradient{colours(random)};
}

}  // namespace tessaly
