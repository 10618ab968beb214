// The column conventions every command-line mode prints with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/models.h"

namespace bramwick::Cli {

// A byte count in file style ("100 KB").
std::string size(std::int64_t bytes);
// Cut to `width` characters or filled with spaces up to it; left-aligned.
std::string pad(std::string_view text, std::size_t width);
// Space, em dash, space.
inline constexpr std::string_view dash = " \u2014 ";
// The level word of a category as the table defines it: "Protected", "Safe to Remove", "Review"
// or "Move to Backup".
std::string label(const CleanupCategory& category);

} // namespace bramwick::Cli
