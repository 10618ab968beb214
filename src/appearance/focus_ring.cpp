#include "appearance/focus_ring.h"

#include <algorithm>

#include <QApplication>

namespace bramwick {

void moveFocusRound(QWidget* owner, const std::vector<QWidget*>& ring, bool next) {
    const Qt::FocusReason reason = next ? Qt::TabFocusReason : Qt::BacktabFocusReason;
    std::vector<QWidget*> usable;
    for (QWidget* widget : ring)
        if (widget && widget->isEnabled() && widget->isVisibleTo(owner) &&
            widget->focusPolicy() & Qt::TabFocus)
            usable.push_back(widget);
    if (usable.empty()) {
        owner->setFocus(reason);
        return;
    }
    const auto at = std::find(usable.begin(), usable.end(), owner->focusWidget());
    std::size_t to = 0;
    if (at == usable.end()) {
        to = next ? 0 : usable.size() - 1;
    } else {
        const auto from = static_cast<std::size_t>(at - usable.begin());
        to = next ? (from + 1) % usable.size() : (from + usable.size() - 1) % usable.size();
    }
    usable[to]->setFocus(reason);
}

FocusGuard::FocusGuard(QWidget* kept) : QObject(kept), kept_(kept) {
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusGuard::follow(QWidget* now) {
    if (!now || now == kept_ || kept_->isAncestorOf(now) || !kept_->isVisible()) return;
    if (now->window() != kept_->window()) return;
    kept_->setFocus(Qt::OtherFocusReason);
}

} // namespace bramwick
