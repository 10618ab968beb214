// The windows' one spinner, for work whose length is not known (a category being scanned, the
// tray's quick clean): a small arc that turns only while it is on screen and looping motion is
// allowed (the motion switch on, "animateScans" on, no reduced motion). Otherwise it rests, its
// arc drawn still.
#pragma once

#include <QTimer>
#include <QWidget>

namespace bramwick {

class Spinner : public QWidget {
    Q_OBJECT

  public:
    explicit Spinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {16, 16}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer timer_;
    int angle_ = 0;
};

} // namespace bramwick
