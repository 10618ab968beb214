#include "text_check.h"

#include <optional>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocumentFragment>
#include <QToolButton>

#include "appearance/window_dressing.h"
#include "sheets/sheet_frame.h"

namespace bramwick::shots {

namespace {

std::string path(const QWidget* widget, const QWidget* window) {
    std::string made;
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString name = w->objectName().isEmpty()
                                 ? QString::fromLatin1(w->metaObject()->className())
                                 : w->objectName();
        made = name.toStdString() + (made.empty() ? "" : "/" + made);
        if (w == window || w->isWindow()) break;
    }
    return made;
}

// What a text widget shows as text (mnemonic marks and markup left out); empty for none.
QString shownText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        const QString text = label->text();
        const bool rich = label->textFormat() == Qt::RichText ||
                          (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        return rich ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        if (const auto* tool = qobject_cast<const QToolButton*>(button);
            tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
            return {};
        QString text = button->text();
        text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        text.remove(QLatin1Char('&'));
        text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        return text;
    }
    return {};
}

bool inLayout(const QLayout* layout, const QWidget* widget) {
    if (!layout) return false;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget) return true;
        if (inLayout(item->layout(), widget)) return true;
    }
    return false;
}

// The scroll area whose viewport `widget` is, or null.
const QAbstractScrollArea* viewportOf(const QWidget* widget) {
    const auto* area = qobject_cast<const QAbstractScrollArea*>(widget->parentWidget());
    return area && area->viewport() == widget ? area : nullptr;
}

struct Placement {
    bool showing = true;
    std::optional<std::string> clippedBy;
};

// Whether any of `widget` is in view, and the first ancestor (below a scroll area's viewport,
// where scrolling cuts rows on purpose) that cuts part of it off.
Placement place(const QWidget* widget, const QWidget* window) {
    Placement placed;
    QRect rect = widget->geometry();
    const QWidget* child = widget;
    for (const QWidget* parent = widget->parentWidget(); parent && !child->isWindow();
         parent = parent->parentWidget()) {
        if (viewportOf(parent)) {
            placed.showing = rect.intersects(parent->rect());
            return placed;
        }
        if (!placed.clippedBy && !parent->rect().contains(rect))
            placed.clippedBy = path(parent, window);
        if (parent == window || parent->isWindow()) break;
        rect.translate(parent->pos());
        child = parent;
    }
    return placed;
}

// Drawn as a capsule of the skins (button_style.h), whose size hint is what its text needs.
bool skinned(const QWidget* button) {
    if (!button->property("bramwickButton").isValid()) return false;
    return button->property("bramwickDirect").toBool() || skinOf(button) != Skin::classic;
}

std::optional<std::string> cut(const QWidget* widget) {
    const QSize has = widget->size();
    auto says = [](const char* what, int needs, int has) {
        return std::string(what) + " (needs " + std::to_string(needs) + " px, has " +
               std::to_string(has) + ")";
    };
    if (const auto* sheetText = qobject_cast<const SheetText*>(widget);
        sheetText && sheetText->fullText() != sheetText->text())
        return "elided";
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->wordWrap()) {
            const int needs = label->heightForWidth(has.width());
            if (needs > has.height() + 1) return says("cut at the bottom", needs, has.height());
            const int word = label->minimumSizeHint().width();
            if (word > has.width() + 1) return says("a word is cut", word, has.width());
            return std::nullopt;
        }
    }
    QSize needs = widget->sizeHint();
    if (const auto* button = qobject_cast<const QPushButton*>(widget); button && !skinned(button)) {
        // The style's own buttons are never narrower than 80: what the text needs is less.
        const QStyle* style = button->style();
        int width = button->fontMetrics().horizontalAdvance(shownText(button)) +
                    style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                    2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        if (!button->icon().isNull()) width += button->iconSize().width() + 4;
        needs.setWidth(width);
    }
    if (needs.width() > has.width() + 1) return says("cut at the side", needs.width(), has.width());
    if (needs.height() > has.height() + 1)
        return says("cut at the bottom", needs.height(), has.height());
    return std::nullopt;
}

void check(const QWidget* window, std::vector<std::string>& faults) {
    const auto widgets = window->findChildren<QWidget*>();
    for (const QWidget* widget : widgets) {
        if (!widget->isVisible() || widget->window() != window) continue;
        const Placement placed = place(widget, window);
        if (!placed.showing) continue;
        const QString text = shownText(widget);
        const bool hasText = !text.trimmed().isEmpty();
        auto fault = [&](const std::string& what) {
            const QString shown =
                (text.size() > 48 ? text.left(47) + QChar(0x2026) : text).simplified();
            faults.push_back(path(widget, window) +
                             (hasText ? " \"" + shown.toStdString() + "\"" : "") + ": " + what);
        };
        if (hasText) {
            if (auto why = cut(widget)) fault(*why);
            if (placed.clippedBy) fault("clipped by " + *placed.clippedBy);
        }
        // Widgets one layout places side by side never lie over each other.
        const QWidget* parent = widget->parentWidget();
        if (!parent || widget->isWindow() || !inLayout(parent->layout(), widget)) continue;
        for (const QWidget* sibling : widgets) {
            if (sibling == widget || sibling->parentWidget() != parent) continue;
            if (!sibling->isVisible() || !inLayout(parent->layout(), sibling)) continue;
            // Each pair once.
            if (widgets.indexOf(const_cast<QWidget*>(sibling)) <
                widgets.indexOf(const_cast<QWidget*>(widget)))
                continue;
            if (widget->geometry().intersects(sibling->geometry()))
                fault("overlaps " + path(sibling, window));
        }
    }
}

} // namespace

std::vector<std::string> textFaults(QWidget* window) {
    std::vector<std::string> faults;
    check(window, faults);
    return faults;
}

std::optional<std::string> offScreen(const QWidget* popup) {
    const QScreen* screen = popup->screen();
    if (!screen || screen->availableGeometry().contains(popup->frameGeometry()))
        return std::nullopt;
    return path(popup, popup) + ": reaches off the screen";
}

} // namespace bramwick::shots
