// The two thin bars under the disk header. `ReportBanner` shows the store's last report (the
// outcome of a clean, a move, a stop, an uninstall or a maintenance task) until it is dismissed
// or replaced, green when all went well and orange with failures; it takes no space without one.
// `FullDiskAccessBanner` says sizes may read low without full disk access and offers to grant
// it; it shows itself only while the store reports no access.
#pragma once

#include <functional>

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include "mainwindow/tone_label.h"
#include "store/store.h"

namespace bramwick {

namespace BannerValues {
// The report's symbol and the colour of the symbol and the tint behind.
std::string reportSymbol(bool hasFailures);
QColor reportColour(bool hasFailures, bool darkScheme);
inline constexpr double tintOpacity = 0.12;
} // namespace BannerValues

// A full-width bar tinted with one colour.
class TintedBar : public QWidget {
    Q_OBJECT

  public:
    using QWidget::QWidget;
    void setTint(const QColor& tint);
    QColor tint() const { return tint_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor tint_;
};

class ReportBanner : public TintedBar {
    Q_OBJECT

  public:
    explicit ReportBanner(Store& store, QWidget* parent = nullptr);
    void refresh();
    QToolButton* dismissButton() const { return dismiss_; }

  protected:
    bool event(QEvent* event) override;

  private:
    Store& store_;
    QLabel* symbol_;
    ToneLabel* title_;
    ToneLabel* message_;
    QToolButton* dismiss_;
};

class FullDiskAccessBanner : public TintedBar {
    Q_OBJECT

  public:
    FullDiskAccessBanner(Store& store, std::function<void()> onGrant, QWidget* parent = nullptr);
    QPushButton* grantButton() const { return grant_; }

  private:
    void follow();
    Store& store_;
    QPushButton* grant_;
};

} // namespace bramwick
