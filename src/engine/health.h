// How full the home folder's disk is: its figures, and a rating in three states that the disk
// gauge, the disk header and the tray icon colour themselves by.
#pragma once

#include <cstdint>
#include <string>

namespace bramwick {

// The figures of one volume, in bytes. This platform has no purgeable space, so
// `availableIncludingPurgeable` equals `available`.
struct DiskFigures {
    std::int64_t total = 0;
    std::int64_t available = 0;
    std::int64_t availableIncludingPurgeable = 0;

    bool operator==(const DiskFigures&) const = default;
};

namespace Disk {
// The figures of the volume that holds `path` (the home folder by default): the space an
// ordinary user may still use counts as available. All zero when they cannot be read.
DiskFigures figures(const std::string& path = {});
} // namespace Disk

enum class DiskHealth { healthy, gettingFull, almostFull };

struct Colour {
    double red, green, blue, opacity;
    bool operator==(const Colour&) const = default;
};

namespace DiskHealths {
// The state as the user reads it: "Healthy", "Getting full", "Almost out of space".
std::string title(DiskHealth health);

// Almost full above 95 % used or under 5 GB free; getting full above 85 % used; else healthy.
// Only `total` and `available` count; a total of 0 counts as 1.
DiskHealth rate(const DiskFigures& disk);

// The colour of the healthy state (sRGB).
inline constexpr Colour healthyGreen{0.31, 0.85, 0.5, 1};
} // namespace DiskHealths

} // namespace bramwick
