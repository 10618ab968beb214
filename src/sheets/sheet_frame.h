// What every sheet is made of: a window-modal dialog on the skin's backdrop that follows the
// stored skin, text in the skins' styles (secondary text dimmed for the skin it is shown in),
// buttons that Return never presses unless a sheet asks for it, and the report banner.
//
// A sheet is a content widget (what the screenshots picture) placed by `presentSheet` in a
// dialog that is opened with `open()`, never with a nested event loop, and deleted on close.
#pragma once

#include <optional>

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "appearance/typography.h"

namespace bramwick {

class Store;

// A label in a text style; a secondary one is dimmed for its window's skin, a tinted one keeps
// its colour.
class SheetText : public QLabel {
    Q_OBJECT
  public:
    enum class Tone { primary, secondary };
    SheetText(const QString& text, TextStyle style, Tone tone = Tone::primary,
              std::optional<QFont::Weight> weight = std::nullopt, QWidget* parent = nullptr);
    void setTint(std::optional<QColor> tint);

  protected:
    bool event(QEvent* event) override;

  private:
    void recolor();
    Tone tone_;
    std::optional<QColor> tint_;
};

// A push button that is never a default button (Return does not press it).
QPushButton* sheetButton(const QString& text, const QString& objectName, QWidget* parent = nullptr);

// The store's report with its Dismiss button; hidden while there is none.
class SheetReportBanner : public QWidget {
    Q_OBJECT
  public:
    explicit SheetReportBanner(Store& store, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void update_();
    Store& store_;
    SheetText* title_;
    SheetText* message_;
};

// The dialog of a sheet: `content` on the backdrop, at least `minimum` in size. It closes when
// the content emits `finished` (connect the sheet's Done with `connectDone`).
class SheetDialog : public QDialog {
    Q_OBJECT
  public:
    SheetDialog(QWidget* parent, QWidget* content, QSize minimum);
    QWidget* content() const { return content_; }

  private:
    QWidget* content_;
};

// Opens `content` as a window-modal sheet over `parent` with `open()` and returns the dialog
// (deleted when it closes).
SheetDialog* presentSheet(QWidget* parent, QWidget* content, QSize minimum);

// Closes the sheet around `widget` (does nothing outside a sheet).
void closeSheet(QWidget* widget);

} // namespace bramwick
