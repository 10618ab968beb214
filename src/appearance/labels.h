// Labels that show data: as plain text, never as markup, and a wrapped text held to a number of
// whole lines.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

namespace bramwick {

// A label showing `text` as plain text, named `name` when one is given.
QLabel* plainLabel(QWidget* parent, const char* name = nullptr, const QString& text = {});
// The same, empty, wrapping its text and as tall as its lines.
QLabel* wrappingLabel(QWidget* parent, const char* name);

// A button's or menu entry's text with every "&" doubled, so that it shows as written (a name
// with "&" in it is no shortcut mark).
QString literalButtonText(const QString& text);

// Shows `widget`'s text in `color`, in both the window's and the fields' text roles.
void setTextColor(QWidget* widget, const QColor& color);

// A wrapped plain text of at most `lines` lines: a longer one ends its last whole line with
// "…" (the whole text is its tool tip and accessible name). Never a part of a line: a label merely
// held to the height of four lines cuts the fifth in half, and a layout that trusts its height for
// width lays the line above over its first one.
class LineLimitedLabel : public QLabel {
  public:
    LineLimitedLabel(int lines, QWidget* parent);
    void setFullText(const QString& text);
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int margins() const;
    // The text as shown at `width`: its lines as they wrap, the last one elided when more follow.
    QString shown(int width) const;
    void fit();

    int lines_;
    QString full_;
};

} // namespace bramwick
