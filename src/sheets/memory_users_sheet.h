// What uses memory: the twelve largest users, each application with its helpers, a sentence on
// how much pressure memory is under, and for each application Show (bring it forward) and Quit
// (a polite request it may decline). It never frees memory itself and never kills anything; this
// program is never offered. Reading the list runs off the GUI thread; a reading is shown only
// when it answers the latest request and the sheet is still open.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "system/memory_users.h"

class QVBoxLayout;

namespace bramwick {

class SheetText;
class StoreVitals;

// The memory users and the actions on them; `standard()` is the running system's.
struct MemoryProvider {
    std::function<std::vector<MemoryUsers::Entry>(int limit)> current;
    std::function<bool(const MemoryUsers::Entry&)> show;
    std::function<MemoryUsers::QuitResult(const MemoryUsers::Entry&)> quit;
    // Runs a job off the GUI thread.
    std::function<void(std::function<void()>)> work;
    static MemoryProvider standard();
};

class MemoryUsersSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr int minimumWidth = 520;
    static constexpr int minimumHeight = 460;
    static constexpr int limit = 12;
    static constexpr int rereadDelay = 1500; // ms after a Quit

    MemoryUsersSheet(StoreVitals& vitals, MemoryProvider provider, QWidget* parent = nullptr);

    const std::vector<MemoryUsers::Entry>& entries() const { return entries_; }
    const std::optional<std::string>& note() const { return note_; }
    void read();
    void bringForward(const MemoryUsers::Entry& entry);
    void askToQuit(const MemoryUsers::Entry& entry);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void rebuild();
    void refreshPressure();

    StoreVitals& vitals_;
    MemoryProvider provider_;
    std::vector<MemoryUsers::Entry> entries_;
    std::optional<std::string> note_;
    std::uint64_t request_ = 0;
    bool readOnShow_ = false;
    SheetText* pressure_;
    SheetText* noteText_;
    QVBoxLayout* rows_;
};

} // namespace bramwick
