#include "engine/applications.h"

namespace bramwick::Scanner {

// Not measured yet.
std::vector<ScanItem> applications() { return {}; }
std::vector<ScanItem> unusedApplications(const std::vector<ScanItem>& apps, std::int64_t) {
    return apps;
}

} // namespace bramwick::Scanner
