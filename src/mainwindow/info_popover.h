// The "i" beside a category's name and the popover it opens: what the category is, and what a
// clean of it does.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include "appearance/skin.h"
#include "appearance/symbols.h"
#include "engine/models.h"
#include "mainwindow/list_plan.h"

namespace bramwick {

// The popover of the info button: the name, the long description, the advice of a category
// that cannot be cleaned here, and what a clean does. A popup frame, 340 wide.
class InfoPopover : public QFrame {
    Q_OBJECT

  public:
    static constexpr int fixedWidth = 340;
    InfoPopover(const ListPlan::InfoText& text, Skin look, QWidget* parent = nullptr);
    // The lines shown, top to bottom (for tests and screen readers).
    QStringList lines() const;

  private:
    QStringList lines_;
};

// The "i" beside a category's name, in the list's symbol colours: opens and closes its popover.
class InfoButton : public SymbolButton {
    Q_OBJECT

  public:
    explicit InfoButton(QWidget* parent = nullptr);
    void setCategory(const CleanupCategory& category, Skin look);
    InfoPopover* popover() const { return popover_; }
    void toggle();

  private:
    CleanupCategory category_;
    Skin look_ = Skin::nightfall;
    QPointer<InfoPopover> popover_;
};

} // namespace bramwick
