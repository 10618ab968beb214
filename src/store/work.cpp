#include "store/work.h"

#include <QCoreApplication>
#include <QEvent>

namespace bramwick::StoreWork {

std::uint64_t Waits::hold(std::function<void()> close) {
    const std::uint64_t id = nextId_++;
    held_.emplace(id, std::move(close));
    return id;
}

void Waits::close() {
    closed_ = true;
    // A coroutine that unwinds starts nothing new, but one it was awaiting may only now resume.
    while (!held_.empty() || !parked_.empty()) {
        for (const auto& entry : std::exchange(held_, {}))
            entry.second(); // answers Closed
        // Each awaiting coroutine hears of its answer through the event loop, from the watcher
        // QCoro made for it: those deliveries happen now, not after the owner is gone.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::FutureCallOut);
        while (!parked_.empty()) {
            auto waiting = parked_.front();
            parked_.erase(parked_.begin());
            waiting.resume();
        }
    }
}

} // namespace bramwick::StoreWork
