// Whether the application shows as a regular one (a task-bar entry, in front) or lives in the
// tray only, and the one way everything outside the main window opens it.
//
// Here an application has a task-bar entry exactly while it has a window: every decision goes to
// a sink, and the program keeps its closed main window minimised in the taskbar while the policy
// is regular (tests read the decisions). The rule reads "keepInDock" at each use, never a copy.
#pragma once

#include <functional>

#include "platform/settings.h"

namespace bramwick {

enum class ActivationPolicy { regular, accessory };

class AppMode {
  public:
    using PolicySink = std::function<void(ActivationPolicy)>;

    // `activate` brings the application to the front (its windows, when it has any).
    AppMode(Settings& settings, PolicySink sink, std::function<void()> activate);

    // Regular while the main window is open; otherwise regular only with "keepInDock" on.
    static ActivationPolicy rule(bool windowOpen, bool keepInDock);

    // Sets the policy by the rule; activates nothing. The start of a window run and the
    // "Keep in Dock" switch call it.
    void apply();
    // The main window's hooks: shown (open, regular, then activate) and closed (not open, then
    // the policy from "keepInDock"; the tray stays and the program keeps running).
    void windowDidAppear();
    void windowDidDisappear();

    bool windowOpen() const { return windowOpen_; }
    // Opening the window from outside: open, regular, activate (the window shows after).
    void openingWindow();

  private:
    bool keepInDock() const;

    Settings& settings_;
    PolicySink sink_;
    std::function<void()> activate_;
    bool windowOpen_ = false;
};

// Opens or fronts the main window from anywhere: the tray's panel, a second launch, a reopen.
class MainWindowOpener {
  public:
    // `fallback` fronts the first top-level window when no opener was registered yet; it may do
    // nothing when there is none.
    MainWindowOpener(AppMode& mode, std::function<void()> fallback);

    // The tray icon registers its opener every time it is shown, replacing any; the panel
    // registers one only while none is registered.
    void replaceOpener(std::function<void()> opener);
    void offerOpener(std::function<void()> opener);
    bool hasOpener() const { return static_cast<bool>(opener_); }

    void open();

  private:
    AppMode& mode_;
    std::function<void()> fallback_;
    std::function<void()> opener_;
};

} // namespace bramwick
