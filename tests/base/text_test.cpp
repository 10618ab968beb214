#include <gtest/gtest.h>

#include "base/text.h"

using namespace bramwick;
using namespace std::chrono;

TEST(ByteCount, FileStyleWithDecimalUnits) {
    struct Case {
        std::int64_t bytes;
        const char* text;
    } cases[] = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {532, "532 bytes"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"},
        {999'499, "999 KB"},
        {999'500, "1 MB"},
        {1'000'000, "1 MB"},
        {1'250'000, "1.3 MB"},
        {1'500'000, "1.5 MB"},
        {12'340'000, "12.3 MB"},
        {999'950'000, "1 GB"},
        {1'234'567'890, "1.23 GB"},
        {2'500'000'000, "2.5 GB"},
        {1'000'000'000'000, "1 TB"},
        {-1'500, "-2 KB"},
        {INT64_MAX, "9.22 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::byteCount(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(Text::byteCount(INT64_MIN), "-9.22 EB");
}

TEST(Pad, CutsAndFillsByCharacters) {
    EXPECT_EQ(Text::pad("abc", 5), "abc  ");
    EXPECT_EQ(Text::pad("abcdef", 3), "abc");
    // Characters, not bytes: "é" is two bytes and one character.
    EXPECT_EQ(Text::pad("\u00e9t\u00e9", 4), "\u00e9t\u00e9 ");
    EXPECT_EQ(Text::pad("\u00e9t\u00e9s", 2), "\u00e9t");
    // An invalid byte shows as U+FFFD and counts as one character.
    EXPECT_EQ(Text::pad("a\xff"
                        "b",
                        4),
              "a\uFFFD"
              "b ");
    EXPECT_EQ(Text::characterCount("\u2014\u2014"), 2u);
}

TEST(Printable, ShowsControlCharactersAsReplacements) {
    struct Case {
        const char* text;
        const char* shown;
    } cases[] = {
        {"plain name \u00e9\u00a0\u4e2d", "plain name \u00e9\u00a0\u4e2d"},
        {"new\nline.bin", "new\uFFFDline.bin"},
        {"a\tb\rc", "a\uFFFDb\uFFFDc"},
        {"\x1b[31mred", "\uFFFD[31mred"},
        {"del\x7f", "del\uFFFD"},
        {"c1 \u0085 \u009b", "c1 \uFFFD \uFFFD"},
        {"bad \xff", "bad \uFFFD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::printable(c.text), c.shown) << c.text;
}

TEST(RepairUtf8, ReplacesEachInvalidSequence) {
    EXPECT_EQ(Text::repairUtf8("ok \u00e9"), "ok \u00e9");
    EXPECT_EQ(Text::repairUtf8("\xc3"), "\uFFFD");                     // cut short
    EXPECT_EQ(Text::repairUtf8("\xed\xa0\x80"), "\uFFFD\uFFFD\uFFFD"); // surrogate
    EXPECT_EQ(Text::repairUtf8("\xc0\xaf"), "\uFFFD\uFFFD");           // overlong
}

TEST(HomeShortened, OnlyBelowTheHome) {
    EXPECT_EQ(Text::homeShortened("/Users/a/Library", "/Users/a"), "~/Library");
    EXPECT_EQ(Text::homeShortened("/Users/a", "/Users/a"), "/Users/a");
    EXPECT_EQ(Text::homeShortened("/Users/ab/x", "/Users/a"), "/Users/ab/x");
    EXPECT_EQ(Text::homeShortened("/private/var/folders", "/Users/a"), "/private/var/folders");
}

TEST(Uuid, FreshOnesAreUpperCaseVersionFour) {
    auto a = Text::newUuid(), b = Text::newUuid();
    EXPECT_NE(a, b);
    EXPECT_EQ(a.size(), 36u);
    EXPECT_EQ(Text::parseUuid(a), a);
    EXPECT_EQ(a[14], '4');
    EXPECT_EQ(Text::parseUuid("0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2d3"),
              "0A1B2C3D-4E5F-4A6B-8C7D-8E9FA0B1C2D3");
    EXPECT_FALSE(Text::parseUuid("0a1b2c3d-4e5f-4a6b-8c7d-8e9fa0b1c2dz"));
    EXPECT_FALSE(Text::parseUuid("0a1b2c3d4e5f4a6b8c7d8e9fa0b1c2d3"));
}

TEST(RelativeDate, NamedPhrasesWithWideUnits) {
    Date now = system_clock::now();
    struct Case {
        seconds offset;
        const char* text;
    } cases[] = {
        {seconds(0), "now"},
        {seconds(-30), "30 seconds ago"},
        {minutes(-1), "1 minute ago"},
        {minutes(-5), "5 minutes ago"},
        {hours(-3), "3 hours ago"},
        {hours(-25), "yesterday"},
        {hours(-24 * 4), "4 days ago"},
        {hours(-24 * 8), "last week"},
        {hours(-24 * 21), "3 weeks ago"},
        {hours(-24 * 40), "last month"},
        {hours(-24 * 100), "3 months ago"},
        {hours(-24 * 400), "last year"},
        {hours(-24 * 800), "2 years ago"},
        {hours(2), "in 2 hours"},
        {hours(30), "tomorrow"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::relativeDate(now + c.offset, now), c.text);
}

// The process leaves its locale for character types as C: the match must not depend on it.
TEST(Lowercased, MatchesATermInANameWhateverTheLetterCase) {
    struct Case {
        const char* term;
        const char* name;
        bool matches;
    } cases[] = {
        {"éclair", "Éclair", true},
        {"ÉCLAIR", "Éclair", true},
        {"ÖDÖN", "Ödön", true},
        {"ödön", "ÖDÖN Tools", true},
        {"σοφία", "ΣΟΦΊΑ", true},
        {"москва", "МОСКВА", true},
        {"ATLAS", "Google Atlas", true},
        {"eclair", "Éclair", false}, // an accent is part of the letter
        {"atlas", "Zed", false},
        // Bytes that are no character stay what they are, and do not hide the letters after them.
        {"\xC3", "Caf\xC3", true},
        {"qz", "\xC3QZ", true},
        {"\xFF", "\xFE", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::contains(Text::lowercased(c.name), Text::lowercased(c.term)), c.matches)
            << c.term << " in " << c.name;

    // A broken sequence, an overlong form, a surrogate, a lone continuation byte, a cut sequence.
    EXPECT_EQ(Text::lowercased("\xC3\x28\xC0\xAF\xED\xA0\x80\x80\xE2\x82"),
              "\xC3\x28\xC0\xAF\xED\xA0\x80\x80\xE2\x82");
    EXPECT_EQ(Text::lowercased("\xFFZ\xC3É\xC3"), "\xFFz\xC3é\xC3");
    // Names looked up on disk lower only A to Z: "İ" would otherwise become "i".
    EXPECT_EQ(Text::asciiLowercased("İNKSCAPE.AppImage"), "İnkscape.appimage");
    EXPECT_EQ(Text::lowercased("İNKSCAPE"), "inkscape");
}

TEST(Trimmed, RemovesSpacesAndLineBreaksAtBothEnds) {
    EXPECT_EQ(Text::trimmed("\n  error: x \r\n"), "error: x");
    EXPECT_EQ(Text::trimmed(" \n "), "");
}

TEST(Sentence, EndsWithOneStopOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {"Couldn't run ps: not found", "Couldn't run ps: not found."},
        {"Done.\n", "Done."},
        {"Really?", "Really?"},
        {"Waiting\u2026", "Waiting\u2026"},
        {" ", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Text::sentence(text), expected) << text;
}
