// The decoders behind PictureFiles: libjpeg, libheif and libvips, which between them bring in a
// hundred libraries (HDF5, curl, OpenEXR, librsvg…). They are built as a module of their own,
// libbramwick_pictures.so, that PictureFiles loads the first time a run reads a picture, so a
// run that reads none maps none of them. Each function reads the picture through the descriptor
// PictureFiles opened and checked, whose leading bytes announced `format`; none when the picture
// cannot be read.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "finders/picture_files.h"

namespace bramwick::PictureDecoders {

// A picture of more pixels than this is never decoded: a few header bytes can claim a size
// whose decoding would take minutes or all the memory.
inline constexpr std::int64_t maximumPixels = std::int64_t{1} << 28;

// What the module hands out: PictureFiles::storedSize and PictureFiles::render once the file is
// open and its format known (BMP sizes are read without the module).
struct Table {
    std::optional<std::pair<int, int>> (*storedSize)(int fd, PictureFiles::Format format,
                                                     std::int64_t fileSize);
    std::optional<std::vector<unsigned char>> (*render)(int fd, PictureFiles::Format format,
                                                        std::int64_t fileSize, int thumbnailSide,
                                                        int squareSide, bool grey);
};

// The module's file and the name of its entry, which returns its table.
inline constexpr const char* moduleFile = "libbramwick_pictures.so";
inline constexpr const char* entryName = "bramwick_picture_decoders";

} // namespace bramwick::PictureDecoders

// The module's entry. A program that links the decoders in (the tests, the benchmarks) has it
// defined, and PictureFiles then uses them without loading the module.
extern "C" const bramwick::PictureDecoders::Table* bramwick_picture_decoders();
