// The number of days after which an application counts as unused: a one-line summary whose
// number is a button, and the editor it opens in a popup (a field, a stepper and presets).
// Every change goes straight to the store, which saves it and filters the applications again.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QWidget>

#include "appearance/typography.h"

class QLineEdit;
class QPushButton;

namespace bramwick {

class SheetText;
class Store;

class UnusedDaysEditor : public QFrame {
    Q_OBJECT
  public:
    explicit UnusedDaysEditor(Store& store, QWidget* parent = nullptr);

  private:
    void refresh();
    Store& store_;
    QLineEdit* field_;
    std::vector<QPushButton*> presets_;
};

class UnusedDaysSummary : public QWidget {
    Q_OBJECT
  public:
    UnusedDaysSummary(Store& store, TextStyle style, QWidget* parent = nullptr);
    // The open editor, or null.
    QWidget* editor() const { return popup_; }
    void openEditor();

  private:
    void refresh();
    Store& store_;
    QPushButton* number_;
    SheetText* word_;
    QPointer<QFrame> popup_;
};

} // namespace bramwick
