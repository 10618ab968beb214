#include "app/gui/app_mode.h"

#include "engine/settings_keys.h"

namespace bramwick {

AppMode::AppMode(Settings& settings, PolicySink sink, std::function<void()> activate)
    : settings_(settings), sink_(std::move(sink)), activate_(std::move(activate)) {}

ActivationPolicy AppMode::rule(bool windowOpen, bool keepInDock) {
    return windowOpen || keepInDock ? ActivationPolicy::regular : ActivationPolicy::accessory;
}

bool AppMode::keepInDock() const {
    return settings_.boolean(SettingsKeys::keepInDock).value_or(false);
}

void AppMode::apply() {
    // With the window open the setting is not read at all.
    sink_(windowOpen_ ? ActivationPolicy::regular : rule(false, keepInDock()));
}

void AppMode::windowDidAppear() {
    windowOpen_ = true;
    sink_(ActivationPolicy::regular);
    if (activate_) activate_();
}

void AppMode::windowDidDisappear() {
    windowOpen_ = false;
    sink_(rule(false, keepInDock()));
}

void AppMode::openingWindow() {
    windowDidAppear();
}

MainWindowOpener::MainWindowOpener(AppMode& mode, std::function<void()> fallback)
    : mode_(mode), fallback_(std::move(fallback)) {}

void MainWindowOpener::replaceOpener(std::function<void()> opener) {
    opener_ = std::move(opener);
}

void MainWindowOpener::offerOpener(std::function<void()> opener) {
    if (!opener_) opener_ = std::move(opener);
}

void MainWindowOpener::open() {
    mode_.openingWindow();
    if (opener_) {
        opener_();
        return;
    }
    if (fallback_) fallback_();
}

} // namespace bramwick
