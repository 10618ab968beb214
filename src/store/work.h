// How the store's coroutines wait: for a job on a worker pool, for a callback of a window (the
// folder chooser), or for a sibling coroutine to finish. A job or a callback answers a QPromise,
// and the coroutine awaits its QFuture with QCoro, which resumes it on the store's own thread
// through its event loop: never inside a worker, never inside the call that delivered the
// answer. What QCoro does not do is end those waits when the store goes; `Waits` does.
#pragma once

#include <coroutine>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#include <QFuture>
#include <QPromise>
#include <qcoro/qcorofuture.h>
#include <qcoro/qcorotask.h>

namespace bramwick::StoreWork {

using Job = std::function<void()>;
// Runs a job some time later, on some thread. Tests pass one that queues jobs until told.
using Executor = std::function<void(Job)>;

// What a co_await throws when the object it waited for went away first.
class Closed : public std::exception {
  public:
    const char* what() const noexcept override { return "the store is gone"; }
};

// What a co_await throws when the owner gave up waiting for the job (Waits::giveUp).
class GaveUp : public std::exception {
  public:
    const char* what() const noexcept override { return "no longer waited for"; }
};

// Whether the owner may stop waiting for a job before it answers. Only a job whose answer can be
// done without (a measurement) is given up: one that removes files is always waited for, so what
// it removed is known.
enum class Patience { untilAnswered, untilGivenUp };

// A promise that takes the first answer only, from whichever thread gives it: the job's value or
// exception, or the owner's giving up or closing, whichever comes first. (In the Qt we build with,
// a QPromise given an exception after it finished loses its value and holds neither.)
template <typename T> class FirstAnswer {
  public:
    FirstAnswer() { promise_.start(); }
    QFuture<T> future() { return promise_.future(); }
    void value(T value) {
        std::lock_guard lock(mutex_);
        if (std::exchange(answered_, true)) return;
        promise_.addResult(std::move(value));
        promise_.finish();
    }
    void fail(std::exception_ptr why) {
        std::lock_guard lock(mutex_);
        if (std::exchange(answered_, true)) return;
        promise_.setException(why);
        promise_.finish();
    }

  private:
    std::mutex mutex_;
    bool answered_ = false;
    QPromise<T> promise_;
};

// Every wait of one owner's coroutines still under way. Only the owner's thread uses it; workers
// touch only their promise, which outlives the owner when they do.
class Waits {
  public:
    // Called by the owner before it goes. A coroutine still waiting would wait forever and its
    // frame, with all it holds, would never be freed: each is resumed once more, its co_await
    // throws Closed, and it unwinds (touching nothing of the owner but its own locals). So does
    // one whose wait was given up and whose answer is still on its way. An answer that comes
    // after this is dropped.
    void close();
    bool closed() const { return closed_; }
    // Answers every wait made `Patience::untilGivenUp` that is still under way: its co_await
    // throws GaveUp, through the event loop as any answer comes. The job runs on; its answer is
    // dropped.
    void giveUp();

    // The coroutines of this thread waiting for a sibling (a `Wakeup`).
    void park(std::coroutine_handle<> waiting) { parked_.push_back(waiting); }
    void unpark(std::coroutine_handle<> waiting) { std::erase(parked_, waiting); }

    // The promise's answer, awaited: its value, the exception it was given, or Closed once the
    // owner closed. Until it comes, the promise is held here (an executor that drops a job leaves
    // the coroutine waiting, not resumed with nothing).
    template <typename T>
    static QCoro::Task<T> answer(std::shared_ptr<Waits> waits,
                                 std::shared_ptr<FirstAnswer<T>> promise,
                                 Patience patience = Patience::untilAnswered);

  private:
    // What answers an awaited promise with the exception it is given (unless it has its answer).
    using Answer = std::function<void(std::exception_ptr)>;
    std::uint64_t hold(Answer answer, Patience patience);
    void release(std::uint64_t id) { held_.erase(id); }

    bool closed_ = false;
    std::vector<std::coroutine_handle<>> parked_;
    struct Held {
        Answer answer; // none once given up
        Patience patience;
    };
    std::map<std::uint64_t, Held> held_;
    std::uint64_t nextId_ = 0;
};

template <typename T>
QCoro::Task<T> Waits::answer(std::shared_ptr<Waits> waits, std::shared_ptr<FirstAnswer<T>> promise,
                             Patience patience) {
    const std::uint64_t id =
        waits->hold([promise](std::exception_ptr why) { promise->fail(why); }, patience);
    struct Release {
        Waits& waits;
        std::uint64_t id;
        ~Release() { waits.release(id); }
    } release{*waits, id};
    QFuture<T> future = promise->future();
    QFuture<void> finished(future);
    // An answer already on its way when the owner closed (a value, the job's exception, GaveUp)
    // is dropped: the coroutine unwinds as for any other close.
    try {
        co_await finished; // throws what the answer holds
    } catch (...) {
        if (waits->closed()) throw Closed();
        throw;
    }
    if (waits->closed()) throw Closed();
    co_return future.takeResult();
}

// co_await run(waits, executor, job): the job's value, computed through the executor. An
// exception of the job is thrown again at the co_await.
template <typename F>
QCoro::Task<std::invoke_result_t<F&>> run(const std::shared_ptr<Waits>& waits,
                                          const Executor& executor, F job,
                                          Patience patience = Patience::untilAnswered) {
    using T = std::invoke_result_t<F&>;
    auto promise = std::make_shared<FirstAnswer<T>>();
    // Waiting before the job starts: an executor that runs it at once still answers through the
    // event loop.
    auto answered = Waits::answer(waits, promise, patience);
    executor([promise, job = std::move(job)]() mutable {
        try {
            promise->value(job());
        } catch (...) {
            promise->fail(std::current_exception());
        }
    });
    return answered;
}

// co_await reply<T>(waits, start): hands `start` a function to call with the answer, and resumes
// with it. Only the first answer counts; an answer that never comes leaves the coroutine
// waiting.
template <typename T>
QCoro::Task<T> reply(const std::shared_ptr<Waits>& waits,
                     const std::function<void(std::function<void(T)>)>& start) {
    auto promise = std::make_shared<FirstAnswer<T>>();
    auto answered = Waits::answer(waits, promise);
    // Of two answers the first is the one taken.
    start([promise](T value) { promise->value(std::move(value)); });
    return answered;
}

// Runs `clear` when it goes out of scope, however the coroutine that holds it ends (a value, an
// exception), so no busy flag stays set for good; but never once the store is gone (a coroutine
// unwinding because its store closed touches nothing of it).
class ClearOnExit {
  public:
    ClearOnExit(std::shared_ptr<Waits> waits, std::function<void()> clear)
        : waits_(std::move(waits)), clear_(std::move(clear)) {}
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;
    ~ClearOnExit() {
        if (clear_ && !waits_->closed()) clear_();
    }
    // Clears now, once.
    void now() {
        if (auto clear = std::exchange(clear_, {})) clear();
    }

  private:
    std::shared_ptr<Waits> waits_;
    std::function<void()> clear_;
};

// Coroutines of the owner's thread waiting for something to change (a slot in the window of
// scans). They are parked in the waits too, so closing them unwinds these.
class Wakeup {
  public:
    explicit Wakeup(Waits& waits) : waits_(waits) {}

    auto wait() {
        struct Awaiter {
            Wakeup& wakeup;
            bool await_ready() const noexcept { return false; }
            void await_suspend(std::coroutine_handle<> waiting) {
                wakeup.waits_.park(waiting);
                wakeup.waiting_.push_back(waiting);
            }
            void await_resume() const {
                if (wakeup.waits_.closed()) throw Closed();
            }
        };
        return Awaiter{*this};
    }
    // Resumes every coroutine waiting now, in the order they began to wait. One of them may end
    // the coroutine that holds this object: nothing of it is touched once the first resumes.
    void notify() {
        auto waiting = std::exchange(waiting_, {});
        Waits& waits = waits_;
        for (auto handle : waiting)
            waits.unpark(handle);
        for (auto handle : waiting)
            handle.resume();
    }

  private:
    Waits& waits_;
    std::vector<std::coroutine_handle<>> waiting_;
};

} // namespace bramwick::StoreWork
