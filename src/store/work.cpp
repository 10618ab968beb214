#include "store/work.h"

#include <QCoreApplication>
#include <QEvent>

namespace bramwick::StoreWork {

std::uint64_t Waits::hold(Answer answer, Patience patience) {
    const std::uint64_t id = nextId_++;
    held_.emplace(id, Held{std::move(answer), patience});
    return id;
}

void Waits::giveUp() {
    // Each stays held, answered, until its coroutine has heard: `close` must still see to one
    // whose answer is on its way.
    for (auto& [id, held] : held_)
        if (held.patience == Patience::untilGivenUp)
            if (auto answer = std::exchange(held.answer, nullptr))
                answer(std::make_exception_ptr(GaveUp()));
}

void Waits::close() {
    closed_ = true;
    // A coroutine that unwinds starts nothing new, but one it was awaiting may only now resume.
    while (!held_.empty() || !parked_.empty()) {
        // A wait given up has its answer on the way already.
        for (const auto& entry : std::exchange(held_, {}))
            if (entry.second.answer) entry.second.answer(std::make_exception_ptr(Closed()));
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
