// How the store's coroutines wait: for a job on a worker pool, for a callback of a window (the
// folder chooser), or for a sibling coroutine to finish. Whatever a worker or a callback
// produces comes back to the store's own thread through its event loop, so a coroutine always
// resumes there, never inside a worker or inside the call that delivered the result.
#pragma once

#include <atomic>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <variant>
#include <vector>

#include <QMetaObject>
#include <QObject>

namespace bramwick::StoreWork {

using Job = std::function<void()>;
// Runs a job some time later, on some thread. Tests pass one that queues jobs until told.
using Executor = std::function<void(Job)>;

// What a co_await throws when the object it waited for went away first.
class Closed : public std::exception {
  public:
    const char* what() const noexcept override { return "the store is gone"; }
};

// Delivers actions to the thread of one object through its event loop. Workers may outlive the
// object: once it is closed, deliveries are dropped instead of reaching a dead object.
class Mailbox {
  public:
    explicit Mailbox(QObject* owner) : owner_(owner) {}

    void deliver(std::function<void()> action) {
        std::lock_guard lock(mutex_);
        if (!owner_) return;
        QMetaObject::invokeMethod(owner_, std::move(action), Qt::QueuedConnection);
    }
    // Called by the owner before it goes; what was posted before is discarded with it. A
    // coroutine still waiting for an answer would wait forever and its frame, with all it holds,
    // would never be freed: each is resumed once more, its co_await throws Closed, and it unwinds
    // (touching nothing of the owner but its own locals).
    void close() {
        {
            std::lock_guard lock(mutex_);
            owner_ = nullptr;
        }
        while (!parked_.empty()) {
            auto waiting = parked_.front();
            parked_.erase(parked_.begin());
            waiting.resume();
        }
    }
    bool closed() {
        std::lock_guard lock(mutex_);
        return owner_ == nullptr;
    }

    // The coroutines waiting for an answer through this mailbox. Only the owner's thread parks
    // and unparks, so this needs no lock.
    void park(std::coroutine_handle<> waiting) { parked_.push_back(waiting); }
    void unpark(std::coroutine_handle<> waiting) { std::erase(parked_, waiting); }

  private:
    std::mutex mutex_;
    QObject* owner_;
    std::vector<std::coroutine_handle<>> parked_;
};

// Runs `clear` when it goes out of scope, however the coroutine that holds it ends (a value, an
// exception), so no busy flag stays set for good; but never once the store is gone (a coroutine
// unwinding because its store closed touches nothing of it).
class ClearOnExit {
  public:
    ClearOnExit(std::shared_ptr<Mailbox> mailbox, std::function<void()> clear)
        : mailbox_(std::move(mailbox)), clear_(std::move(clear)) {}
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;
    ~ClearOnExit() {
        if (clear_ && !mailbox_->closed()) clear_();
    }
    // The operation put things right itself: nothing to clear.
    void dismiss() { clear_ = {}; }
    // Clears now, once.
    void now() {
        if (auto clear = std::exchange(clear_, {})) clear();
    }

  private:
    std::shared_ptr<Mailbox> mailbox_;
    std::function<void()> clear_;
};

// co_await Work<T>{...}: runs `job` through the executor and resumes with its value on the
// mailbox's thread. An exception of the job is thrown again at the co_await.
template <typename T> class Work {
  public:
    Work(std::shared_ptr<Mailbox> mailbox, Executor executor, std::function<T()> job)
        : mailbox_(std::move(mailbox)), executor_(std::move(executor)), job_(std::move(job)) {}

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> waiting) {
        mailbox_->park(waiting);
        executor_([mailbox = mailbox_, job = std::move(job_), waiting, this] {
            auto outcome = std::make_shared<Outcome>();
            try {
                outcome->template emplace<1>(job());
            } catch (...) {
                outcome->template emplace<2>(std::current_exception());
            }
            // The awaiter lives in the suspended coroutine's frame until this resumes it.
            mailbox->deliver([mailbox, this, waiting, outcome] {
                mailbox->unpark(waiting);
                outcome_ = std::move(*outcome);
                waiting.resume();
            });
        });
    }

    T await_resume() {
        if (outcome_.index() == 0) throw Closed();
        if (auto* error = std::get_if<2>(&outcome_)) std::rethrow_exception(*error);
        return std::move(std::get<1>(outcome_));
    }

  private:
    using Outcome = std::variant<std::monostate, T, std::exception_ptr>;
    std::shared_ptr<Mailbox> mailbox_;
    Executor executor_;
    std::function<T()> job_;
    Outcome outcome_;
};

// co_await Reply<T>{...}: hands `start` a function to call with the answer, and resumes with it
// on the mailbox's thread. Only the first answer counts; an answer that never comes leaves the
// coroutine waiting.
template <typename T> class Reply {
  public:
    using Start = std::function<void(std::function<void(T)>)>;

    Reply(std::shared_ptr<Mailbox> mailbox, Start start)
        : mailbox_(std::move(mailbox)), start_(std::move(start)) {}

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> waiting) {
        auto answered = std::make_shared<std::atomic<bool>>(false);
        mailbox_->park(waiting);
        start_([mailbox = mailbox_, answered, waiting, this](T value) {
            if (answered->exchange(true)) return;
            auto shared = std::make_shared<T>(std::move(value));
            mailbox->deliver([mailbox, this, waiting, shared] {
                mailbox->unpark(waiting);
                value_ = std::move(*shared);
                answered_ = true;
                waiting.resume();
            });
        });
    }

    T await_resume() {
        if (!answered_) throw Closed();
        return std::move(value_);
    }

  private:
    std::shared_ptr<Mailbox> mailbox_;
    Start start_;
    T value_{};
    bool answered_ = false;
};

// Coroutines of the mailbox's thread waiting for something to change (a slot in the window of
// scans). They are parked in the mailbox too, so closing it unwinds them.
class Wakeup {
  public:
    explicit Wakeup(Mailbox& mailbox) : mailbox_(mailbox) {}

    auto wait() {
        struct Awaiter {
            Wakeup& wakeup;
            bool await_ready() const noexcept { return false; }
            void await_suspend(std::coroutine_handle<> waiting) {
                wakeup.mailbox_.park(waiting);
                wakeup.waiting_.push_back(waiting);
            }
            void await_resume() const {
                if (wakeup.mailbox_.closed()) throw Closed();
            }
        };
        return Awaiter{*this};
    }
    // Resumes every coroutine waiting now, in the order they began to wait. One of them may end
    // the coroutine that holds this object: nothing of it is touched once the first resumes.
    void notify() {
        auto waiting = std::exchange(waiting_, {});
        Mailbox& mailbox = mailbox_;
        for (auto handle : waiting)
            mailbox.unpark(handle);
        for (auto handle : waiting)
            handle.resume();
    }

  private:
    Mailbox& mailbox_;
    std::vector<std::coroutine_handle<>> waiting_;
};

} // namespace bramwick::StoreWork
