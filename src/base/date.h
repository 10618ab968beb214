// The point in time every record, note and report carries.
#pragma once

#include <chrono>

namespace bramwick {

using Date = std::chrono::system_clock::time_point;

} // namespace bramwick
