#include "base/paths.h"

#include <cstdlib>
#include <vector>

namespace bramwick::Paths {

std::string standardised(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (auto part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

std::optional<std::string> resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::nullopt;
    std::string out = real;
    std::free(real);
    return out;
}

std::string parent(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string lastComponent(const std::string& path) {
    std::string trimmed = withoutTrailingSlash(path);
    auto slash = trimmed.rfind('/');
    if (slash == std::string::npos) return trimmed;
    if (trimmed == "/") return "";
    return trimmed.substr(slash + 1);
}

bool within(std::string_view path, std::string_view folder) {
    if (path == folder) return true;
    if (folder == "/") return path.starts_with('/');
    return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/';
}

bool isPlainName(std::string_view text) {
    return !text.empty() && text != "." && text != ".." &&
           text.find('/') == std::string_view::npos && text.find('\0') == std::string_view::npos;
}

} // namespace bramwick::Paths
