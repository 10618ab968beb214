#include "mainwindow/info_popover.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "appearance/labels.h"
#include "appearance/popover.h"
#include "appearance/typography.h"
#include "appearance/window_dressing.h"
#include "store/to_qstring.h"

namespace bramwick {

InfoPopover::InfoPopover(const ListPlan::InfoText& text, Skin look, QWidget* parent)
    : QFrame(parent, Qt::Popup) {
    setObjectName("info-popover");
    setAttribute(Qt::WA_DeleteOnClose);
    // A click on the info button closes the popover and is not delivered again, so the same
    // click does not reopen it.
    setAttribute(Qt::WA_NoMouseReplay);
    setFrameShape(QFrame::StyledPanel);
    dressWindow(this, look);
    setAutoFillBackground(true);
    setFixedWidth(fixedWidth);
    // Grows to fit its text, however long: never a height of its own.
    setAccessibleName(toQString(text.name));

    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->setContentsMargins(12, 12, 12, 12);
    auto add = [&](const std::string& line, const char* name, QFont font, bool secondary,
                   QLayout* into) {
        auto* label = plainLabel(this, name);
        label->setText(toQString(line));
        label->setWordWrap(true);
        label->setFont(font);
        if (secondary) setTextColor(label, Skins::palette(look).listSecondaryText);
        if (into)
            into->addWidget(label);
        else
            column->addWidget(label);
        lines_ << toQString(line);
        return label;
    };
    add(text.name, "info-name", textFont(TextStyle::headline), false, nullptr);
    add(text.info, "info-text", textFont(TextStyle::body), false, nullptr);
    if (text.advice) {
        auto* line = new QHBoxLayout;
        line->setSpacing(6);
        auto* bulb = new SymbolView(16, this);
        bulb->setSymbol("lightbulb", Skins::palette(look).listText);
        line->addWidget(bulb, 0, Qt::AlignTop);
        add(*text.advice, "info-advice", textFont(TextStyle::body), false, line);
        column->addLayout(line);
    }
    add(text.sentence, "info-sentence", textFont(TextStyle::caption), true, nullptr);
}

QStringList InfoPopover::lines() const {
    return lines_;
}

InfoButton::InfoButton(QWidget* parent) : SymbolButton("info.circle", 14, parent) {
    setObjectName("info");
    connect(this, &QToolButton::clicked, this, &InfoButton::toggle);
}

void InfoButton::setCategory(const CleanupCategory& category, Skin look) {
    category_ = category;
    look_ = look;
    setLook(look);
    setAccessibleName(toQString("About " + category.name));
}

void InfoButton::toggle() {
    if (popover_ && popover_->isVisible()) {
        popover_->close();
        return;
    }
    popover_ = new InfoPopover(ListPlan::info(category_), look_, this);
    showPopover(popover_, this);
}

} // namespace bramwick
