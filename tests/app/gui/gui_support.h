// What the window tests share: one widget application per process (off screen, animations
// off), and scenes over a store with every outside service faked.
#pragma once

#include <memory>

#include <QApplication>
#include <QString>
#include <ostream>

#include "app/gui/scenes.h"
#include "store/store_harness.h"

namespace bramwick::test {

// The widget application of this test binary; made before any store needs an application.
QApplication& guiApplication();

// An update back end that does what the test says and records what it was asked.
class FakeUpdates : public UpdateBackend {
  public:
    std::vector<bool> automaticChecks;
    std::vector<bool> automaticDownloads;
    int checks = 0;
    bool can = true;
    void setAutomaticallyChecksForUpdates(bool on) override { automaticChecks.push_back(on); }
    void setAutomaticallyDownloadsUpdates(bool on) override { automaticDownloads.push_back(on); }
    bool canCheckForUpdates() const override { return can; }
    void checkForUpdates() override { ++checks; }
    void report(bool value) {
        can = value;
        emit canCheckChanged(value);
    }
};

// Scenes over a harness store, with the quits counted. The test fills the harness first; `make`
// creates the scenes (and with them the store, which runs its first scan), `start` also starts
// them.
struct ScenesHarness {
    explicit ScenesHarness(bool trayAvailable = true, bool openWindowAtLaunch = false);
    ~ScenesHarness();
    Scenes& make();
    Scenes& start();

    StoreHarness store;
    bool trayAvailable;
    bool openWindowAtLaunch;
    int quits = 0;
    FakeUpdates* updates = nullptr; // owned by the scenes
    // The main window's system sheets read nothing of the machine: no tasks, no memory users,
    // their work run at once.
    WindowTop::SheetSources sheets;
    std::unique_ptr<Scenes> scenes;
};

// Lets queued work and events run.
void settle();

} // namespace bramwick::test

// Texts of the windows in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
