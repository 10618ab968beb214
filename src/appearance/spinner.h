// The windows' one spinner, for work whose length is not known (a category being scanned, the
// tray's quick clean): a small arc that turns only while it is on screen and looping motion is
// allowed (the motion switch on, "animateScans" on, no reduced motion), following a change of the
// setting while it is shown. Otherwise it rests, its arc drawn still.
#pragma once

#include <QTimer>
#include <QWidget>

namespace bramwick {

class Spinner : public QWidget {
    Q_OBJECT

  public:
    explicit Spinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {16, 16}; }
    bool turning() const { return timer_.isActive(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    // Turns or rests as looping motion is allowed now.
    void follow();
    QTimer timer_;
    int angle_ = 0;
};

} // namespace bramwick
