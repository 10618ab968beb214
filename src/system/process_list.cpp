#include "system/process_list.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/process_table.h"

namespace bramwick::ProcessList {

namespace {

template <typename Number> std::optional<Number> parse(std::string_view text) {
    if (text.empty()) return std::nullopt;
    Number value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string_view lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path.size() == 1) return path;
    return path.substr(slash + 1);
}

} // namespace

std::vector<std::string_view> lines(std::string_view output) {
    std::vector<std::string_view> out;
    while (!output.empty()) {
        std::size_t end = output.find('\n');
        std::string_view line = output.substr(0, end);
        if (!line.empty()) out.push_back(line);
        if (end == std::string_view::npos) break;
        output.remove_prefix(end + 1);
    }
    return out;
}

std::optional<Split> split(std::string_view line, std::size_t count) {
    Split out;
    out.fields.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t begin = line.find_first_not_of(' ');
        if (begin == std::string_view::npos) return std::nullopt;
        line.remove_prefix(begin);
        std::size_t end = line.find(' ');
        if (end == std::string_view::npos)
            return std::nullopt; // a field must be followed by a space
        out.fields.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    std::size_t begin = line.find_first_not_of(' ');
    out.rest = begin == std::string_view::npos ? std::string_view{} : line.substr(begin);
    return out;
}

std::optional<std::int32_t> int32(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    return parse<std::int32_t>(text);
}

std::optional<std::int64_t> int64(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    return parse<std::int64_t>(text);
}

std::optional<double> real(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    auto value = parse<double>(text);
    if (value && !std::isfinite(*value)) return std::nullopt;
    return value;
}

std::int64_t kibibytes(std::int64_t kib) {
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 1024;
    if (kib > limit) return std::numeric_limits<std::int64_t>::max();
    if (kib < -limit) return std::numeric_limits<std::int64_t>::min();
    return kib * 1024;
}

std::int64_t sum(std::int64_t a, std::int64_t b) {
    std::int64_t out = 0;
    if (__builtin_add_overflow(a, b, &out))
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    return out;
}

std::string processName(std::string_view command) {
    if (!command.starts_with('/')) return std::string(command);
    constexpr std::string_view bundleMarker = ".app/Contents/MacOS/";
    if (std::size_t at = command.find(bundleMarker); at != std::string_view::npos) {
        std::string_view bundle = lastComponent(command.substr(0, at));
        if (bundle.ends_with(".app")) bundle.remove_suffix(4);
        return std::string(bundle);
    }
    return std::string(lastComponent(command));
}

std::string shownName(std::int32_t pid, std::string_view listed, const std::string& root) {
    auto executable = ProcessTable::executable(pid, listed, root);
    return processName(executable ? std::string_view(*executable) : listed);
}

} // namespace bramwick::ProcessList
