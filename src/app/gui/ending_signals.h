// SIGTERM, SIGINT and SIGHUP end the program in order: the signal itself asks long work to stop
// at its next step (Ending::request), and the event loop hears of it through a socket (a handler
// may do nothing more). The clean under way then stops at its next item, records what it
// removed, the settings are written, and the program ends, within a few seconds.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QObject>
#include <QSocketNotifier>

#include "platform/settings.h"
#include "store/store.h"

namespace bramwick {

class EndingSignals : public QObject {
    Q_OBJECT
  public:
    // Handles the three signals from now on.
    explicit EndingSignals(QObject* parent = nullptr);
    // Puts back the handling there was.
    ~EndingSignals() override;

  signals:
    // On the thread of the event loop, after one of the signals arrived.
    void received();

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Ends the run once the store's clean, move or uninstall has stopped and recorded what it did
// (or `patience` has passed): the settings are written, then `quit` is called; at once, before
// this returns, when nothing is under way. No event loop of its own is run.
void finishThenQuit(Store& store, Settings& settings, std::function<void()> quit,
                    std::chrono::milliseconds patience = std::chrono::seconds(4));

} // namespace bramwick
