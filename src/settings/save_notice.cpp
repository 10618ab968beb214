#include "settings/save_notice.h"

#include "appearance/typography.h"
#include "settings/settings_plan.h"
#include "store/to_qstring.h"

namespace bramwick {

SaveNotice::SaveNotice(Settings& settings, QWidget* parent) : QLabel(parent), settings_(settings) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setFont(textFont(TextStyle::caption));
    hide();
    // Observers run on the thread that wrote: the line follows on its own.
    token_ = settings_.subscribe([this](const std::string&) {
        QMetaObject::invokeMethod(this, &SaveNotice::follow, Qt::QueuedConnection);
    });
}

SaveNotice::~SaveNotice() {
    settings_.unsubscribe(token_);
}

void SaveNotice::check(const std::optional<std::string>& problem) {
    if (problem)
        say(problem);
    else
        follow();
}

void SaveNotice::follow() {
    // A removal of a key that was never there saves nothing, so only the settings can tell
    // whether an earlier failure is still unsaved.
    if (shown_ && !settings_.unsaved()) say(std::nullopt);
}

void SaveNotice::say(const std::optional<std::string>& reason) {
    if (reason) setText(toQString(SettingsPlan::unsavedChangeText(*reason)));
    if (shown_ == reason.has_value()) return;
    shown_ = reason.has_value();
    setVisible(shown_);
    emit shownChanged();
}

} // namespace bramwick
