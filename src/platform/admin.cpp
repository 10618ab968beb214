#include "platform/admin.h"

#include <unistd.h>

#include "base/text.h"

namespace bramwick::Admin {

std::vector<std::string> arguments(const std::string& command) {
    return {"pkexec", "/bin/sh", "-c", command};
}

Shell::Result run(const std::string& command, double timeout, const Shell::Runner& runner) {
    return runner(arguments(command), timeout);
}

std::string ownExecutable() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "/proc/self/exe";
    return std::string(buffer, static_cast<std::size_t>(n));
}

Shell::Result runRemoval(const std::string& list, double timeout) {
    return Shell::runWithInput({"pkexec", ownExecutable(), removalFlag}, timeout, list);
}

std::string quote(std::string_view path) {
    std::string out = "'";
    for (char c : path) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::string failureReason(const Shell::Result& result) {
    std::string output = Text::trimmed(result.output);
    if (result.status == unavailableStatus && Text::contains(output, "pkexec"))
        return "Administrator rights are not available: pkexec is not installed.";
    if (result.status == cancelledStatus)
        return output.empty() ? "The administrator password was not given." : output;
    return output;
}

} // namespace bramwick::Admin
