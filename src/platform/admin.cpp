#include "platform/admin.h"

#include "base/text.h"

namespace bramwick::Admin {

Shell::Result run(const std::string& command, double timeout, const Shell::Runner& runner) {
    return runner({"pkexec", "/bin/sh", "-c", command}, timeout);
}

std::string quote(std::string_view path) {
    std::string out = "'";
    for (char c : path) {
        if (c == '\'') out += "'\\''";
        else out += c;
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
