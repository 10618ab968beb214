#include "platform/login_item.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

#include "base/edition.h"
#include "base/text.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"

namespace bramwick::LoginItems {

std::string folder() {
    return Edition::configHome() + "/autostart";
}

std::string entryPath() {
    return folder() + "/" + Edition::appId + ".desktop";
}

std::string entryText(const std::string& executable) {
    return fmt::format("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name={0}\n"
                       "Comment=Starts {0} when you log in\n"
                       "Exec={1}\n"
                       "Icon={2}\n"
                       "Terminal=false\n"
                       "X-GNOME-Autostart-enabled=true\n",
                       Edition::displayName, DesktopEntry::execArgument(executable),
                       Edition::appId);
}

Status status() {
    std::string path = entryPath();
    struct stat st {};
    // No entry, or no folder it could be in (a file stands where a folder of its path belongs):
    // nothing is registered.
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Status::notRegistered : Status::unknown;
    auto text = Files::read(path);
    if (!text) return Status::unknown;
    auto keys = DesktopEntry::mainGroup(*text);
    // Both ways the desktops know of switching an autostart entry off without removing it.
    auto is = [&](const char* key, const char* value) {
        auto it = keys.find(key);
        return it != keys.end() && Text::asciiLowercased(it->second) == value;
    };
    if (is("Hidden", "true") || is("X-GNOME-Autostart-enabled", "false"))
        return Status::notRegistered;
    auto exec = keys.find("Exec");
    if (exec == keys.end() || DesktopEntry::program(exec->second).empty()) return Status::notFound;
    return Status::enabled;
}

std::optional<std::string> registerApp(const std::string& executable) {
    std::string program = executable.empty() ? DesktopEntry::currentExecutable() : executable;
    if (program.empty()) return std::string("cannot find where this program is installed");
    if (auto problem = Files::makeFolders(folder())) return problem;
    return Files::writeAtomically(entryPath(), entryText(program), 0644);
}

std::optional<std::string> unregisterApp() {
    std::string path = entryPath();
    // Nothing there, or a file where the folder belongs: nothing was registered.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR)
        return fmt::format("cannot remove {}: {}", path, std::strerror(errno));
    return std::nullopt;
}

std::string statusWord(Status status) {
    switch (status) {
    case Status::notRegistered:
        return "off";
    case Status::enabled:
        return "enabled";
    case Status::requiresApproval:
        return "waiting for approval in System Settings \u2192 General \u2192 Login Items";
    case Status::notFound:
        return "not found (turn it on again from the installed program)";
    case Status::unknown:
        break;
    }
    return "unknown";
}

} // namespace bramwick::LoginItems
