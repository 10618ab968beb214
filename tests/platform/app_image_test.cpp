#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "base/unique_fd.h"
#include "platform/app_image.h"
#include "support/applications.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

const std::string kritaEntry = "[Desktop Entry]\nType=Application\nName=Krita\nIcon=krita\n";

std::string writeBytes(const std::string& path, const std::string& bytes) {
    test::makeFile(path, 0);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// An ELF header of the given class and byte order whose section header table (at `start`,
// `count` entries of `size` bytes) ends where the offset is looked for, padded to `length`.
std::string elf(bool wide, bool big, std::uint64_t start, unsigned size, unsigned count,
                std::size_t length) {
    std::string bytes(std::max<std::size_t>(length, 64), '\0');
    bytes.replace(0, 4,
                  "\x7f"
                  "ELF");
    bytes[4] = wide ? 2 : 1;
    bytes[5] = big ? 2 : 1;
    auto put = [&](std::size_t at, std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            bytes[at + (big ? width - 1 - i : i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    };
    put(wide ? 0x28 : 0x20, start, wide ? 8 : 4);
    put(wide ? 0x3A : 0x2E, size, 2);
    put(wide ? 0x3C : 0x30, count, 2);
    bytes.resize(length);
    return bytes;
}

std::optional<std::uint64_t> offsetOf(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return AppImage::imageOffset(fd.get());
}

} // namespace

TEST(AppImage, TheImageStartsWhereTheRuntimesSectionTableEnds) {
    test::clearHome();
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<std::uint64_t> offset;
    } cases[] = {
        {"64-bit, little-endian", elf(true, false, 1000, 64, 30, 4000), 2920},
        {"64-bit, big-endian", elf(true, true, 1000, 64, 30, 4000), 2920},
        {"32-bit, little-endian", elf(false, false, 500, 40, 10, 2000), 900},
        {"32-bit, big-endian", elf(false, true, 500, 40, 10, 2000), 900},
        {"a table that ends past the file", elf(true, false, 1000, 64, 30, 2000), std::nullopt},
        {"a table that starts past the file", elf(true, false, 9000, 0, 0, 2000), std::nullopt},
        {"no ELF file", std::string(4000, 'x'), std::nullopt},
        {"a cut-off header", elf(true, false, 10, 1, 1, 40), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(offsetOf(writeBytes(test::home() + "/file", c.bytes)), c.offset) << c.what;
}

TEST(AppImage, ReadsTheDesktopEntryInsideTheImageWhateverItsCompression) {
    test::clearHome();
    for (const char* compression : {"gzip", "xz", "zstd", "lz4"}) {
        std::string image = test::home() + "/krita-" + compression + ".AppImage";
        // As images are made: the entry at the top is a link into usr/share/applications.
        ASSERT_TRUE(test::makeAppImage(
            image,
            {{"AppRun", "#!/bin/sh\n"},
             {"usr/share/applications/org.kde.krita.desktop", kritaEntry},
             {"usr/share/icons/krita.png", std::string(5000, 'p')},
             {"zz.desktop", "[Desktop Entry]\nName=Later in name order\n"}},
            {{"org.kde.krita.desktop", "usr/share/applications/org.kde.krita.desktop"},
             {".DirIcon", "usr/share/icons/krita.png"}},
            compression))
            << compression;
        auto entry = AppImage::desktopEntry(image);
        ASSERT_TRUE(entry) << compression;
        EXPECT_EQ(entry->fileName, "org.kde.krita.desktop");
        EXPECT_EQ(entry->text, kritaEntry);
    }
}

TEST(AppImage, WhatCannotBeReadIsNoEntry) {
    test::clearHome();
    std::string home = test::home();
    struct Case {
        const char* what;
        std::map<std::string, std::string> files;
        std::map<std::string, std::string> links;
        bool found;
    } cases[] = {
        {"an absolute link, as the mounted image has it",
         {{"usr/share/applications/a.b.c.desktop", kritaEntry}},
         {{"a.b.c.desktop", "/usr/share/applications/a.b.c.desktop"}},
         true},
        {"a link up and down again",
         {{"share/x.desktop", kritaEntry}},
         {{"x.desktop", "share/../share/./x.desktop"}},
         true},
        {"no entry at the top", {{"usr/share/applications/x.desktop", kritaEntry}}, {}, false},
        {"a link that leaves the image", {}, {{"x.desktop", "../../etc/passwd"}}, false},
        {"links in a ring", {}, {{"a.desktop", "b.desktop"}, {"b.desktop", "a.desktop"}}, false},
        {"an entry that is a folder", {{"x.desktop/inside", "?"}}, {}, false},
    };
    for (const auto& c : cases) {
        std::string image = home + "/case.AppImage";
        ASSERT_TRUE(test::makeAppImage(image, c.files, c.links)) << c.what;
        EXPECT_EQ(AppImage::desktopEntry(image).has_value(), c.found) << c.what;
    }

    // A damaged image, a file of another kind, a link to an image and nothing at all.
    ASSERT_TRUE(test::makeAppImage(home + "/whole.AppImage", {{"a.b.c.desktop", kritaEntry}}));
    std::string whole = test::readFile(home + "/whole.AppImage");
    writeBytes(home + "/cut.AppImage", whole.substr(0, 192 + 120)); // the super block, little more
    std::string scrambled = whole;
    for (std::size_t i = 192 + 96; i < scrambled.size(); i += 7)
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5a);
    writeBytes(home + "/scrambled.AppImage", scrambled);
    writeBytes(home + "/text.AppImage", "#!/bin/sh\necho not an image\n");
    test::makeLink(home + "/whole.AppImage", home + "/link.AppImage");
    for (const char* name :
         {"/cut.AppImage", "/scrambled.AppImage", "/text.AppImage", "/link.AppImage", "/none"})
        EXPECT_FALSE(AppImage::desktopEntry(home + name)) << name;
    EXPECT_TRUE(AppImage::desktopEntry(home + "/whole.AppImage"));
}

TEST(AppImage, ReadingAnImageLeavesWhenItWasLastUsed) {
    test::clearHome();
    std::string image = test::home() + "/tool.AppImage";
    ASSERT_TRUE(test::makeAppImage(image, {{"a.b.c.desktop", kritaEntry}}));
    struct timespec times[2] = {{1'000'000'000, 0}, {0, UTIME_OMIT}}; // read in 2001
    ASSERT_EQ(::utimensat(AT_FDCWD, image.c_str(), times, 0), 0);
    ASSERT_TRUE(AppImage::desktopEntry(image));
    struct stat st {};
    ASSERT_EQ(::stat(image.c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1'000'000'000);
}
