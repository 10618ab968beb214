#include "app/gui/ending_signals.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>

#include "base/ending.h"

namespace bramwick {

namespace {

constexpr int endingSignals[] = {SIGTERM, SIGINT, SIGHUP};

int signalPipe[2] = {-1, -1};
struct sigaction previous[std::size(endingSignals)];

void onSignal(int) {
    Ending::request(); // the cleaner's threads see it at their next item
    char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
}

} // namespace

EndingSignals::EndingSignals(QObject* parent) : QObject(parent) {
    if (signalPipe[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        emit received();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(endingSignals); ++i)
        ::sigaction(endingSignals[i], &action, &previous[i]);
}

EndingSignals::~EndingSignals() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < std::size(endingSignals); ++i)
        ::sigaction(endingSignals[i], &previous[i], nullptr);
}

void finishThenQuit(Store& store, Settings& settings, std::function<void()> quit,
                    std::chrono::milliseconds patience) {
    store.endWork();
    if (!store.cleansUnderway()) {
        settings.flush();
        quit();
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    auto* waiting = new QTimer(&store);
    waiting->setInterval(20);
    QObject::connect(waiting, &QTimer::timeout, &store,
                     [&store, &settings, quit, deadline, waiting] {
                         if (store.cleansUnderway() && std::chrono::steady_clock::now() < deadline)
                             return;
                         waiting->stop();
                         waiting->deleteLater();
                         settings.flush();
                         quit();
                     });
    waiting->start();
}

} // namespace bramwick
