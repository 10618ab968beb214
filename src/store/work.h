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
    // Called by the owner before it goes; what was posted before is discarded with it.
    void close() {
        std::lock_guard lock(mutex_);
        owner_ = nullptr;
    }

  private:
    std::mutex mutex_;
    QObject* owner_;
};

// co_await Work<T>{...}: runs `job` through the executor and resumes with its value on the
// mailbox's thread. An exception of the job is thrown again at the co_await.
template <typename T> class Work {
  public:
    Work(std::shared_ptr<Mailbox> mailbox, Executor executor, std::function<T()> job)
        : mailbox_(std::move(mailbox)), executor_(std::move(executor)), job_(std::move(job)) {}

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> waiting) {
        executor_([mailbox = mailbox_, job = std::move(job_), waiting, this] {
            auto outcome = std::make_shared<Outcome>();
            try {
                outcome->template emplace<1>(job());
            } catch (...) {
                outcome->template emplace<2>(std::current_exception());
            }
            // The awaiter lives in the suspended coroutine's frame until this resumes it.
            mailbox->deliver([this, waiting, outcome] {
                outcome_ = std::move(*outcome);
                waiting.resume();
            });
        });
    }

    T await_resume() {
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
        start_([mailbox = mailbox_, answered, waiting, this](T value) {
            if (answered->exchange(true)) return;
            auto shared = std::make_shared<T>(std::move(value));
            mailbox->deliver([this, waiting, shared] {
                value_ = std::move(*shared);
                waiting.resume();
            });
        });
    }

    T await_resume() { return std::move(value_); }

  private:
    std::shared_ptr<Mailbox> mailbox_;
    Start start_;
    T value_{};
};

// Coroutines of one thread waiting for something to change (a slot in the window of scans).
class Wakeup {
  public:
    auto wait() {
        struct Awaiter {
            Wakeup& wakeup;
            bool await_ready() const noexcept { return false; }
            void await_suspend(std::coroutine_handle<> waiting) {
                wakeup.waiting_.push_back(waiting);
            }
            void await_resume() const noexcept {}
        };
        return Awaiter{*this};
    }
    // Resumes every coroutine waiting now, in the order they began to wait.
    void notify() {
        auto waiting = std::exchange(waiting_, {});
        for (auto handle : waiting)
            handle.resume();
    }

  private:
    std::vector<std::coroutine_handle<>> waiting_;
};

} // namespace bramwick::StoreWork
