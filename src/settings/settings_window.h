// The settings window: the titled window that the settings pages go into, dressed in the stored
// skin, on its backdrop. It holds the General, Cleaning and Appearance tabs; its height follows
// the tab shown, and each time it appears it reads the login item's state again.
#pragma once

#include <QWidget>

#include "appearance/window_dressing.h"
#include "settings/settings_pages.h"
#include "store/store.h"

namespace bramwick {

class SettingsWindow : public SkinBackdrop {
    Q_OBJECT

  public:
    static constexpr int pageWidth = 460;

    // `hooks.login` without a folder opener gets the desktop's file manager.
    SettingsWindow(Store& store, Settings& settings, SettingsPages::Hooks hooks,
                   QWidget* parent = nullptr);
    void present();
    SettingsPages& pages() { return *pages_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    static constexpr int topMargin = 8;
    void fitPage();

    SettingsPages* pages_ = nullptr;
};

} // namespace bramwick
