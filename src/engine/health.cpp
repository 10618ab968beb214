#include "engine/health.h"

#include <algorithm>
#include <limits>
#include <sys/statvfs.h>

#include "base/edition.h"

namespace bramwick {

namespace {

// blocks × block size, kept within a signed 64-bit count.
std::int64_t bytes(unsigned long long blocks, unsigned long long blockSize) {
    constexpr auto largest =
        static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
    if (blockSize != 0 && blocks > largest / blockSize)
        return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(blocks * blockSize);
}

} // namespace

namespace Disk {

DiskFigures figures(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.empty() ? Edition::home().c_str() : path.c_str(), &fs) != 0) return {};
    unsigned long long unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    DiskFigures disk;
    disk.total = bytes(fs.f_blocks, unit);
    disk.available = bytes(fs.f_bavail, unit); // what a user may still write, not the root reserve
    disk.availableIncludingPurgeable = disk.available;
    return disk;
}

} // namespace Disk

namespace DiskHealths {

DiskHealth rate(const DiskFigures& disk) {
    // In double precision, so that no pair of figures can overflow the subtraction.
    double total = static_cast<double>(disk.total);
    double used = total - static_cast<double>(disk.available);
    double fraction = used / std::max(total, 1.0);
    if (fraction > 0.95 || disk.available < 5'000'000'000) return DiskHealth::almostFull;
    if (fraction > 0.85) return DiskHealth::gettingFull;
    return DiskHealth::healthy;
}

std::string title(DiskHealth health) {
    switch (health) {
    case DiskHealth::healthy:
        return "Healthy";
    case DiskHealth::gettingFull:
        return "Getting full";
    case DiskHealth::almostFull:
        return "Almost out of space";
    }
    return {};
}

} // namespace DiskHealths

} // namespace bramwick
