// Shared text helpers: byte counts, padding, UTF-8 repair, home-shortened paths, UUIDs and
// the date phrases that notes and reports use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/date.h"

namespace bramwick::Text {

// A byte count in file style with decimal units: "Zero KB", "1 byte", "532 bytes", "12 KB",
// "1.5 MB", "2.25 GB". KB shows no decimals, MB one, GB and above two; trailing zeros are
// dropped, and a value that rounds up to 1000 moves into the next unit.
std::string byteCount(std::int64_t bytes);

// Valid UTF-8 with every invalid byte sequence replaced by U+FFFD.
std::string repairUtf8(std::string_view text);
// The repaired text with every control character (a newline, a tab, an escape) shown as U+FFFD:
// a name printed in a row, which may hold anything but "/", can then neither break the row in two
// nor drive the terminal.
std::string printable(std::string_view text);
// The number of characters (code points) of the repaired text.
std::size_t characterCount(std::string_view text);
// The text cut to its first `width` characters, or followed by spaces up to `width` characters.
// Never splits a character; invalid bytes show as U+FFFD.
std::string pad(std::string_view text, std::size_t width);
// The first `count` characters of the text (fewer when it is shorter), never cutting one in two.
std::string prefix(std::string_view text, std::size_t count);

// "~" followed by the rest of a path that lies below `home`; any other path (the home itself
// included) unchanged.
std::string homeShortened(std::string_view path, std::string_view home);
std::string homeShortened(std::string_view path); // against Edition::home()

// A fresh random UUID in upper-case text form (8-4-4-4-12).
std::string newUuid();
// The upper-case canonical form of a UUID text, or none when it is not one.
std::optional<std::string> parseUuid(std::string_view text);

// "now", "5 minutes ago", "yesterday", "3 weeks ago", "last month", "in 2 hours"...
std::string relativeDate(Date date, Date now);
// The user's locale: numeric date ("%x") and date with time.
std::string numericDate(Date date);
std::string dateTime(Date date);

// Every letter in lower case, in any script ("Éclair" → "éclair", "ÖDÖN" → "ödön"), one
// character for one as Unicode maps them, whatever locale the process runs in; bytes that are not
// valid UTF-8 stay as they are. For matching what a user typed against a name.
std::string lowercased(std::string_view text);
// Only A to Z lowered: for extensions, keys and names that are ASCII by definition, which no other
// letter may come to match ("İ" lowers to "i").
std::string asciiLowercased(std::string_view text);
// Without leading and trailing spaces, tabs and line breaks.
std::string trimmed(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
bool contains(std::string_view text, std::string_view part);
// Trimmed, and ended with a full stop unless it already ends in ".", "!", "?" or "\u2026", so a
// reason can follow another sentence ("Couldn't run ps: not found" → "… not found.").
std::string sentence(std::string_view text);

} // namespace bramwick::Text
