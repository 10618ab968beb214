// Resizing small 8-bit pictures in memory, for drawing the picture finder's outlines and grids.
//
// A triangle filter, separable, as wide as the reduction (so a picture made smaller averages
// every pixel it covers, and one made larger blends its two nearest pixels), with pixel centres
// aligned and the edges repeated. The image library's own resampler does the same in a general
// pipeline that costs ten times as much on pictures this small, and drawing them is most of what
// finding a repeated picture costs.
#pragma once

#include <vector>

namespace bramwick::Resample {

// An 8-bit picture: `channels` bytes a pixel, row after row, no padding.
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<unsigned char> bytes;
};

// `in` resized to `width` x `height` (each at least 1), each axis on its own. A picture with no
// pixels, or sizes below 1, give an empty picture.
Pixels resized(const Pixels& in, int width, int height);

} // namespace bramwick::Resample
