// The confirmation card of the windows and their sheets: a title, an optional explanation and
// two buttons on a floating rounded card. It has no state and closes nothing: its presenter
// builds it for the item awaiting confirmation and clears the item when either button runs.
// Escape runs Cancel while the card has the focus; Return (or Enter) presses the focused button,
// and with the card itself focused the confirming one (while it is enabled), in a window and in
// a dialog alike. Tab and Shift+Tab go round the card's own buttons and never leave it.
#pragma once

#include <functional>

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace bramwick {

class ConfirmCard : public QFrame {
    Q_OBJECT

  public:
    static constexpr int cardWidth = 360;
    static constexpr int radius = 14;

    // `confirmLabel` is shown as it is (an "&" shows as itself, never as a shortcut mark).
    ConfirmCard(const QString& title, const QString& message, const QString& confirmLabel,
                bool dangerous, std::function<void()> confirm, std::function<void()> cancel,
                QWidget* parent = nullptr);

    QPushButton* confirmButton() const { return confirmButton_; }
    // Shows another title and explanation (what the action would take has changed meanwhile); a
    // card made without an explanation keeps none.
    void setTitle(const QString& title);
    void setMessage(const QString& message);
    QPushButton* cancelButton() const { return cancelButton_; }
    // Takes the height its wrapped lines need at its fixed width.
    void fitHeight();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<void()> confirm_;
    std::function<void()> cancel_;
    QLabel* title_;
    QLabel* message_ = nullptr;
    QPushButton* confirmButton_;
    QPushButton* cancelButton_;
};

// Shows one card at a time over a window: the window dimmed, the card in its middle. Confirm
// first clears the card and then runs the action; Cancel only clears it. While a card is shown
// the keyboard stays in it: focus that lands anywhere else in its window goes back to the card,
// so no key reaches the window behind a pending confirmation.
class ConfirmPresenter : public QWidget {
    Q_OBJECT

  public:
    explicit ConfirmPresenter(QWidget* window);

    void present(const QString& title, const QString& message, const QString& confirmLabel,
                 bool dangerous, std::function<void()> action);
    void clear();
    ConfirmCard* card() const { return card_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void place();

    ConfirmCard* card_ = nullptr;
};

// Gives a button the green of a confirming action or the red of an irreversible one.
void tintButton(QPushButton* button, bool dangerous);

} // namespace bramwick
