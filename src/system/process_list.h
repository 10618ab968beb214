// Reading ps listings printed with empty column headers ("ps -Ao pid=,rss=,comm="): the
// pieces that the vitals, the memory users and the running scanner share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bramwick::ProcessList {

// The non-empty lines of a listing.
std::vector<std::string_view> lines(std::string_view output);

// Splits a line into `count` fields and the rest: fields are separated by runs of spaces (only
// the space character), each must be followed by a space, and the rest (after the spaces that
// follow the last field) is kept whole, inner spaces included. None when the line has fewer
// fields.
struct Split {
    std::vector<std::string_view> fields;
    std::string_view rest;
};
std::optional<Split> split(std::string_view line, std::size_t count);

// Numbers as ps prints them: decimal digits only (a sign allowed for integers), a point as the
// decimal separator. None for anything else, a comma included.
std::optional<std::int32_t> int32(std::string_view text);
std::optional<std::int64_t> int64(std::string_view text);
std::optional<double> real(std::string_view text);

// A resident size in KiB as bytes, saturated at the 64-bit limit.
std::int64_t kibibytes(std::int64_t kib);
// a + b, saturated at the 64-bit limits.
std::int64_t sum(std::int64_t a, std::int64_t b);

// The name a process is shown by. A command that is a path (it begins with "/") is named by
// the application folder it runs from when it lies inside a ".app" bundle, else by its last
// path component; any other name (ps's short names, kernel threads such as "kworker/0:1") is
// kept whole.
std::string processName(std::string_view command);

// The name a listed process is shown by, whole: `processName` of what it runs, read from the
// process under `root` (see ProcessTable::executable), else of `listed`, ps's cut kernel name.
std::string shownName(std::int32_t pid, std::string_view listed, const std::string& root = "");

} // namespace bramwick::ProcessList
