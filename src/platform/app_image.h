// What an AppImage says about itself: the desktop entry at the top of the SquashFS image that
// follows its runtime (an ELF program), read in place with libsquashfs, never by mounting or
// running the image. The library is loaded the first time an image is read, not before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bramwick::AppImage {

struct Entry {
    std::string fileName; // the entry's name at the top of the image, "org.kde.krita.desktop"
    std::string text;
};

// Where the image starts in an open file: the end of the runtime's section header table. None
// when the file is no ELF program or the table would end beyond the file.
std::optional<std::uint64_t> imageOffset(int fd);

// The desktop entry at the top of the image (the first "*.desktop" there in name order; a link
// to one elsewhere in the image is followed), at most 256 KiB of it. None when the file is no
// AppImage of this kind, its image cannot be read (also when it cannot be read without marking
// it as just used: a file of another user's), or the library is not there: what the file's name
// says is then all there is to know.
std::optional<Entry> desktopEntry(const std::string& path);

} // namespace bramwick::AppImage
