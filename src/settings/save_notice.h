// The line that says a settings change could not be saved. Such a change still applies, since
// the settings keep it in memory, but it is lost when the program quits, so the window that made
// it says so under its controls. Every write a control makes on the user's behalf goes through
// `check`. The line stays until the settings are saved again, by this window or any other
// writer: each save writes every value, the ones kept only in memory included.
#pragma once

#include <optional>
#include <string>

#include <QLabel>

#include "platform/settings.h"

namespace bramwick {

class SaveNotice : public QLabel {
    Q_OBJECT
  public:
    // Hidden until a change fails to save. `settings` must outlive it.
    SaveNotice(Settings& settings, QWidget* parent);
    ~SaveNotice() override;

    // Takes what a write of the user's change returned: a reason shows at once; a save that
    // succeeded hides the line once nothing is left unsaved.
    void check(const std::optional<std::string>& problem);

  signals:
    // The line appeared or went: the window's height may follow.
    void shownChanged();

  private:
    void follow();
    void say(const std::optional<std::string>& reason);

    Settings& settings_;
    std::size_t token_ = 0;
    bool shown_ = false;
};

} // namespace bramwick
