// Keeping the keyboard in a card shown over its window (a confirmation, the access setup): Tab
// and Shift+Tab go round the card's own controls, and focus that lands anywhere else in that
// window goes back to the card, so no key reaches what the card covers.
#pragma once

#include <vector>

#include <QObject>
#include <QWidget>

namespace bramwick {

// Moves the focus to the next (or previous) of `ring` that can take it, round from the last to
// the first; with none that can, to `owner` itself. For a card's focusNextPrevChild.
void moveFocusRound(QWidget* owner, const std::vector<QWidget*>& ring, bool next);

// While it lives and `kept` is shown, focus that goes to another widget of `kept`'s window
// comes back to `kept`. A window or dialog of its own takes its focus as it should. It lives as
// long as `kept` at most (it is `kept`'s child).
class FocusGuard : public QObject {
    Q_OBJECT
  public:
    explicit FocusGuard(QWidget* kept);

  private:
    void follow(QWidget* now);
    QWidget* kept_;
};

} // namespace bramwick
