// Reading pictures found in the user's folders, which are untrusted input (anything can be saved
// into Downloads): a file reaches a decoder only when its leading bytes say it is one of the ten
// formats the finders accept, and only that format's decoder ever sees it. The decoders are a
// module of their own (see picture_decoders.h), loaded the first time a picture is read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "finders/file_walk.h"

namespace bramwick::PictureFiles {

enum class Format { jpeg, png, gif, tiff, bmp, webp, heif };

// The format the leading bytes of a file announce (at least 32 bytes are looked at when the file
// has them), or none when they announce none of the ten.
std::optional<Format> sniff(std::string_view leading);

// The pixel width and height stored in the file for its first image, without decoding pixels and
// without applying an orientation flag (for HEIF, the stored size of the primary image, read
// with libheif). None unless both are at least 1.
std::optional<std::pair<int, int>> storedSize(const std::string& path,
                                              std::optional<FileWalk::Identity> identity = {});

// The first image of the file: its orientation applied, made no larger than `thumbnailSide` on
// its longer side (never enlarged), converted to 8-bit sRGB with transparency over white, then
// stretched to a `squareSide` square. One grey byte per pixel when `grey`, else four bytes (red,
// green, blue, 0). None when the picture cannot be read or is absurdly large.
std::optional<std::vector<unsigned char>> render(const std::string& path,
                                                 std::optional<FileWalk::Identity> identity,
                                                 int thumbnailSide, int squareSide, bool grey);

// Why no picture could be read in this run: the decoders' module was needed and could not be
// loaded (the reason names the file). None when it loaded, or was never needed.
std::optional<std::string> unreadable();

} // namespace bramwick::PictureFiles
