#include "platform/linux/associations.h"

#include <gio/gio.h>
#include <gio/gdesktopappinfo.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "platform/linux/fd.h"

namespace tessaly {

namespace {

// The name the type is guessed from: the text after the last "/" or ":", so that a stream
// "doc.txt:pic.jpg" counts as "pic.jpg".
std::string nameForGuess(const std::string& path)
{
    const auto cut = path.find_last_of("/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The first bytes of a regular file, for content sniffing; empty for anything else. A FIFO or
// device is never read (opening it non-blocking and checking the type first).
std::string headOf(const std::string& path, std::size_t limit)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    std::string data(limit, '\0');
    const ssize_t got = ::read(fd.get(), data.data(), data.size());
    data.resize(got > 0 ? std::size_t(got) : 0);
    return data;
}

struct AppListDeleter {
    void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};

std::string programOf(GAppInfo* app)
{
    if (!app)
        return {};
    const char* executable = g_app_info_get_executable(app);
    if (!executable || !*executable)
        return {};
    g_autofree char* found = g_find_program_in_path(executable);
    return found ? std::string(found) : std::string();
}

// The application with the desktop entry it came from: the entry's file where GIO knows it (the
// very entry that was found), otherwise its id. An entry whose program is missing is no application.
Application applicationOf(GAppInfo* app)
{
    Application a{programOf(app), {}};
    if (a.program.empty())
        return {};
    const char* file = G_IS_DESKTOP_APP_INFO(app) ? g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app)) : nullptr;
    const char* id = g_app_info_get_id(app);
    a.entry = file ? file : id ? id : "";
    if (a.entry.empty())
        return {};
    return a;
}

}  // namespace

bool IsProgramFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK) != 0)
        return false;
    const std::string head = headOf(path, 4);
    return head.rfind("\x7f" "ELF", 0) == 0 || head.rfind("#!", 0) == 0;
}

Application GioAssociations::findApplication(const std::string& path)
{
    if (IsProgramFile(path))
        return {path, {}};
    return applicationForName(path);
}

Application GioAssociations::applicationForName(const std::string& path)
{
    const std::string name = nameForGuess(path);
    g_autofree char* type = g_content_type_guess(name.c_str(), nullptr, 0, nullptr);
    if (!type)
        return {};
    g_autoptr(GAppInfo) app = g_app_info_get_default_for_type(type, FALSE);
    return applicationOf(app);
}

Application GioAssociations::defaultApplicationForType(const std::string& contentType)
{
    g_autoptr(GAppInfo) app = g_app_info_get_default_for_type(contentType.c_str(), FALSE);
    return applicationOf(app);
}

std::string GioAssociations::noAssociationMessage()
{
    return NoAssociationText();
}

std::string NoAssociationText()
{
    // GIO's own wording when it finds no handler for a file, translated by GLib's catalogue.
    return g_dgettext("glib20", "No application is registered as handling this file");
}

std::vector<ApplicationEntry> ApplicationsForItem(const std::string& path)
{
    const std::string name = nameForGuess(path);
    const std::string head = headOf(path, 4096);
    g_autofree char* type = g_content_type_guess(name.c_str(), reinterpret_cast<const guchar*>(head.data()),
                                                 head.size(), nullptr);
    std::vector<ApplicationEntry> entries;
    if (!type)
        return entries;
    const std::unique_ptr<GList, AppListDeleter> apps(g_app_info_get_all_for_type(type));
    for (GList* l = apps.get(); l; l = l->next) {
        auto* app = static_cast<GAppInfo*>(l->data);
        ApplicationEntry e;
        e.program = programOf(app);
        if (e.program.empty())
            continue;
        if (const char* id = g_app_info_get_id(app))
            e.id = id;
        if (const char* display = g_app_info_get_display_name(app))
            e.name = display;
        if (GIcon* icon = g_app_info_get_icon(app)) {
            g_autofree char* text = g_icon_to_string(icon);
            if (text)
                e.icon = text;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace tessaly
