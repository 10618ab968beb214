// Whether the program was asked to end (SIGTERM, SIGINT, SIGHUP): long work that removes or
// copies the user's files stops at its next step, so what it did so far can still be recorded
// and saved before the program ends. Set from a signal handler, read from any thread.
#pragma once

#include <atomic>

namespace bramwick::Ending {

namespace detail {
inline std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
} // namespace detail

// Safe to call from a signal handler.
inline void request() noexcept {
    detail::requested.store(true, std::memory_order_relaxed);
}
inline bool requested() noexcept {
    return detail::requested.load(std::memory_order_relaxed);
}
// For tests, which go on after an ending they asked for.
inline void clear() noexcept {
    detail::requested.store(false, std::memory_order_relaxed);
}

} // namespace bramwick::Ending
