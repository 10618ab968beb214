// What every sheet is made of: a window-modal dialog on the skin's backdrop that follows the
// stored skin, text in the skins' styles (secondary text dimmed for the skin it is shown in),
// buttons that Return never presses unless a sheet asks for it, and the report banner.
//
// A sheet is a content widget (what the screenshots picture) placed by `presentSheet` in a
// dialog that is opened with `open()`, never with a nested event loop, and deleted on close.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "appearance/skin.h"
#include "appearance/typography.h"

namespace bramwick {

class Store;

// A label in a text style; a secondary one is dimmed for its window's skin, a tinted one takes
// its tint. Both colours are looked up again when it paints, since rows are often built before
// they reach their window and its skin.
class SheetText : public QLabel {
    Q_OBJECT
  public:
    enum class Tone { primary, secondary };
    SheetText(const QString& text, TextStyle style, Tone tone = Tone::primary,
              std::optional<QFont::Weight> weight = std::nullopt, QWidget* parent = nullptr);
    void setTint(std::optional<QColor> tint);
    // A tint that depends on where the label is shown (its window's skin).
    void setTint(std::function<QColor(const QWidget*)> tint);
    // One line, cut to the width it gets (the whole text stays in `fullText`).
    void setElidedText(const QString& text, Qt::TextElideMode mode);
    QString fullText() const { return full_.isNull() ? text() : full_; }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::optional<QColor> color() const;
    void recolor();
    void elide();
    QString full_;
    Qt::TextElideMode mode_ = Qt::ElideNone;
    Tone tone_;
    std::function<QColor(const QWidget*)> tint_;
};

// A push button that is never a default button (Return does not press it), and never narrower
// than its text.
QPushButton* sheetButton(const QString& text, const QString& objectName, QWidget* parent = nullptr);

// A frameless scroll area dressed in `sheet`'s skin, whose rows go into the returned layout.
QScrollArea* sheetRowList(QWidget* sheet, const QString& objectName, QVBoxLayout** rows);

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

// The dialog of a sheet: `content` on the backdrop, at least `minimum` in size, at least as wide
// as its rows of buttons need, and at least as tall as its wrapped texts need at its width (a
// report with many failures makes it taller rather than drawing over the table). The content
// closes it with `closeSheet` (its Done button does).
class SheetDialog : public QDialog {
    Q_OBJECT
  public:
    SheetDialog(QWidget* parent, QWidget* content, QSize minimum);
    QWidget* content() const { return content_; }
    // Escape does nothing while the content's property "keepOpen" is true (work runs that the
    // sheet must show to its end).
    void reject() override;

  protected:
    bool event(QEvent* event) override;

  private:
    void fitSize();
    QWidget* content_;
    QSize minimum_;
};

// Opens `content` as a window-modal sheet over `parent` with `open()` and returns the dialog
// (deleted when it closes).
SheetDialog* presentSheet(QWidget* parent, QWidget* content, QSize minimum);

// Closes the sheet around `widget` (does nothing outside a sheet).
void closeSheet(QWidget* widget);

// A symbol of the icon font, coloured for the widget it is shown in.
class SheetSymbol : public QWidget {
    Q_OBJECT
  public:
    SheetSymbol(std::string symbol, qreal size, std::function<QColor(const QWidget*)> color,
                QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string symbol_;
    qreal size_;
    std::function<QColor(const QWidget*)> color_;
};

// A busy box with its text, centred over its parent while shown.
class WorkingOverlay : public QWidget {
    Q_OBJECT
  public:
    WorkingOverlay(const QString& text, QWidget* parent);
    void setShown(bool shown);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void place();
};

} // namespace bramwick
