#include "base/text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>
#include <locale.h>
#include <random>
#include <wctype.h>

#include <fmt/format.h>

#include "base/edition.h"

namespace bramwick::Text {

std::string byteCount(std::int64_t bytes) {
    if (bytes == 0) return "Zero KB";
    std::string sign = bytes < 0 ? "-" : "";
    // Magnitude in unsigned arithmetic so that the most negative value has one too.
    std::uint64_t b =
        bytes < 0 ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
    if (b == 1) return sign + "1 byte";
    if (b < 1000) return sign + fmt::format("{} bytes", b);

    static constexpr std::array<const char*, 6> units{"KB", "MB", "GB", "TB", "PB", "EB"};
    static constexpr std::array<int, 6> decimals{0, 1, 2, 2, 2, 2};
    for (std::size_t k = 0; k < units.size(); ++k) {
        int d = decimals[k];
        // Rounded value in units of 10^-d of the unit, in integers so that halves round alike.
        std::uint64_t divisor = 1;
        for (int i = 0; i < 3 * static_cast<int>(k + 1) - d; ++i)
            divisor *= 10;
        std::uint64_t scaled = b / divisor + ((b % divisor) * 2 >= divisor ? 1 : 0);
        std::uint64_t one = 1;
        for (int i = 0; i < d; ++i)
            one *= 10;
        if (scaled >= 1000 * one && k + 1 < units.size()) continue; // rounds into the next unit
        std::string number = std::to_string(scaled / one);
        if (d > 0) {
            std::string fraction = fmt::format("{:0{}}", scaled % one, d);
            while (!fraction.empty() && fraction.back() == '0')
                fraction.pop_back();
            if (!fraction.empty()) number += "." + fraction;
        }
        return sign + number + " " + units[k];
    }
    return sign + std::to_string(b) + " bytes"; // not reached
}

namespace {
// Length of the valid UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t validSequence(std::string_view s) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = byte(0);
    if (c < 0x80) return 1;
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c == 0xE0)
        n = 3, lo = 0xA0;
    else if (c >= 0xE1 && c <= 0xEC)
        n = 3;
    else if (c == 0xED)
        n = 3, hi = 0x9F;
    else if (c >= 0xEE && c <= 0xEF)
        n = 3;
    else if (c == 0xF0)
        n = 4, lo = 0x90;
    else if (c >= 0xF1 && c <= 0xF3)
        n = 4;
    else if (c == 0xF4)
        n = 4, hi = 0x8F;
    else
        return 0;
    if (s.size() < n) return 0;
    if (byte(1) < lo || byte(1) > hi) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return n;
}

constexpr std::string_view replacement = "\xEF\xBF\xBD";

// Calls `f` with each character of the text, invalid bytes given as U+FFFD.
template <typename F> void forEachCharacter(std::string_view text, F&& f) {
    while (!text.empty()) {
        std::size_t n = validSequence(text);
        if (n == 0) {
            f(replacement);
            text.remove_prefix(1);
        } else {
            f(text.substr(0, n));
            text.remove_prefix(n);
        }
    }
}
} // namespace

std::string repairUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    forEachCharacter(text, [&](std::string_view c) { out.append(c); });
    return out;
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    forEachCharacter(text, [&](std::string_view c) {
        auto first = static_cast<unsigned char>(c[0]);
        bool control = first < 0x20 || first == 0x7F ||
                       (first == 0xC2 && static_cast<unsigned char>(c[1]) < 0xA0); // U+0080-9F
        out.append(control ? replacement : c);
    });
    return out;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    forEachCharacter(text, [&](std::string_view) { ++count; });
    return count;
}

std::string prefix(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < count && at < text.size(); ++n) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            ++at;
    }
    return std::string(text.substr(0, at));
}

std::string pad(std::string_view text, std::size_t width) {
    std::string out;
    std::size_t count = 0;
    forEachCharacter(text, [&](std::string_view c) {
        if (count < width) {
            out.append(c);
            ++count;
        }
    });
    out.append(width - count, ' ');
    return out;
}

std::string homeShortened(std::string_view path, std::string_view home) {
    if (!home.empty() && path.size() > home.size() && startsWith(path, home) &&
        path[home.size()] == '/') {
        std::string shown("~");
        shown.append(path.substr(home.size()));
        return shown;
    }
    return std::string(path);
}

std::string homeShortened(std::string_view path) {
    return homeShortened(path, Edition::home());
}

std::string newUuid() {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::uint64_t hi = engine(), lo = engine();
    hi = (hi & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL; // version 4
    lo = (lo & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL; // RFC 4122 variant
    return fmt::format("{:08X}-{:04X}-{:04X}-{:04X}-{:012X}", hi >> 32, (hi >> 16) & 0xFFFF,
                       hi & 0xFFFF, lo >> 48, lo & 0xFFFFFFFFFFFFULL);
}

std::optional<std::string> parseUuid(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (out[i] != '-') return std::nullopt;
        } else if (!std::isxdigit(static_cast<unsigned char>(out[i]))) {
            return std::nullopt;
        } else {
            out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
        }
    }
    return out;
}

std::string relativeDate(Date date, Date now) {
    using namespace std::chrono;
    auto seconds = duration_cast<std::chrono::seconds>(date - now).count();
    bool past = seconds < 0;
    long long s = past ? -seconds : seconds;
    auto phrase = [&](long long n, const char* unit) {
        std::string u = fmt::format("{} {}{}", n, unit, n == 1 ? "" : "s");
        return past ? u + " ago" : "in " + u;
    };
    if (s < 1) return "now";
    if (s < 60) return phrase(s, "second");
    if (s < 3600) return phrase(s / 60, "minute");
    if (s < 86400) return phrase(s / 3600, "hour");
    long long days = s / 86400;
    if (days < 7) return days == 1 ? (past ? "yesterday" : "tomorrow") : phrase(days, "day");
    if (days < 30)
        return days / 7 == 1 ? (past ? "last week" : "next week") : phrase(days / 7, "week");
    if (days < 365)
        return days / 30 == 1 ? (past ? "last month" : "next month") : phrase(days / 30, "month");
    return days / 365 == 1 ? (past ? "last year" : "next year") : phrase(days / 365, "year");
}

namespace {
std::string formatLocal(Date date, const char* format) {
    std::time_t t = std::chrono::system_clock::to_time_t(date);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buffer[128];
    std::size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}
} // namespace

std::string numericDate(Date date) {
    return formatLocal(date, "%x");
}
std::string dateTime(Date date) {
    return formatLocal(date, "%x %X");
}

namespace {
char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// glibc's own C.UTF-8, whose case mapping covers all of Unicode: the process sets no locale for
// character types, and the user's could be any (or none). None when it cannot be made.
locale_t unicodeLocale() {
    static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
} // namespace

std::string lowercased(std::string_view text) {
    locale_t locale = unicodeLocale();
    if (!locale) return asciiLowercased(text);
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t n = validSequence(text);
        if (n <= 1) {
            out += n == 1 ? asciiLower(text[0]) : text[0]; // a byte of no character stays
            text.remove_prefix(1);
            continue;
        }
        auto byte = [&](std::size_t i) { return char32_t{static_cast<unsigned char>(text[i])}; };
        char32_t c = byte(0) & (0x7F >> n);
        for (std::size_t i = 1; i < n; ++i)
            c = (c << 6) | (byte(i) & 0x3F);
        appendUtf8(out, static_cast<char32_t>(::towlower_l(static_cast<wint_t>(c), locale)));
        text.remove_prefix(n);
    }
    return out;
}

std::string asciiLowercased(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), asciiLower);
    return out;
}

std::string trimmed(std::string_view text) {
    auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.starts_with(prefix);
}
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.ends_with(suffix);
}
bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string sentence(std::string_view text) {
    std::string out = trimmed(text);
    if (out.empty()) return out;
    for (std::string_view end : {".", "!", "?", "\u2026"})
        if (out.ends_with(end)) return out;
    return out + ".";
}

} // namespace bramwick::Text
