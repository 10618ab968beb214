// The "Scheduled clean" sheet: the automatic clean's schedule, time and triggers, as in the
// settings window, and the list of categories it may take, each with a switch that leaves it
// out. Every control writes its setting at once; there is nothing to save, and closing the
// sheet in any way keeps what was switched. A change that could not be saved says so in one line
// above the buttons. Unlike the settings window it never arms the automatic clean: the store's
// next check does that.
//
// Open it with `open()` over the main window (window-modal, no loop of its own). The time and
// the exclusions are read once when the sheet is made; the other controls follow the stored
// settings while it is open.
#pragma once

#include <functional>
#include <map>
#include <set>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>

#include "platform/settings.h"
#include "store/store.h"

namespace bramwick {

class SaveNotice;

class ScheduleSheet : public QDialog {
    Q_OBJECT
  public:
    // `openHistory` presents the history over this sheet.
    ScheduleSheet(Store& store, Settings& settings, std::function<void(QWidget* over)> openHistory,
                  QWidget* parent = nullptr);
    ~ScheduleSheet() override;

    const std::set<std::string>& excluded() const { return excluded_; }
    // Sets the controls bound to stored settings from them, and the sizes from the store.
    void refresh();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void writeExcluded();

    Store& store_;
    Settings& settings_;
    std::function<void(QWidget*)> openHistory_;
    std::set<std::string> excluded_;
    std::size_t token_ = 0;
    // Made first: every control's write reports to it.
    SaveNotice* saveNotice_ = nullptr;

    QComboBox* schedule_ = nullptr;
    QWidget* timeLabel_ = nullptr;
    QTimeEdit* time_ = nullptr;
    QWidget* nextLabel_ = nullptr;
    QLabel* next_ = nullptr;
    QCheckBox* onLowSpace_ = nullptr;
    QCheckBox* notify_ = nullptr;
    std::map<std::string, QCheckBox*> switches_;
    std::map<std::string, QLabel*> sizes_;
    QPushButton* allBackOn_ = nullptr;
    QWidget* list_ = nullptr;
};

} // namespace bramwick
