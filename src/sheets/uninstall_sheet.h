// The confirmation of one uninstall: the application, a warning while it runs, every leftover
// the search found as a switch (all on at first), the places left alone with their reasons, and
// a running count and total. Nothing is removed until the user confirms on the card; the
// removal is the store's. The sheet closes when the store no longer holds its plan.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include <QWidget>

#include "finders/uninstaller.h"

class QCheckBox;
class QPushButton;

namespace bramwick {

class ConfirmPresenter;
class SheetText;
class StoreUninstalls;
class WorkingOverlay;

class UninstallSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr int minimumWidth = 620;
    static constexpr int minimumHeight = 460;

    // `onFinish` runs once, just before the uninstall starts.
    UninstallSheet(StoreUninstalls& uninstalls, UninstallPlan plan, std::function<void()> onFinish,
                   QWidget* parent = nullptr);
    ~UninstallSheet() override;

    const std::set<std::string>& chosen() const { return chosen_; }
    std::vector<AppLeftover> picked() const;
    ConfirmPresenter* confirmPresenter() const { return confirm_; }

  private:
    void refresh();
    void setChosen(std::set<std::string> chosen);
    void requestUninstall();

    StoreUninstalls& uninstalls_;
    UninstallPlan plan_;
    std::function<void()> onFinish_;
    std::set<std::string> chosen_;
    std::vector<QCheckBox*> switches_;
    SheetText* footer_;
    QPushButton* cancel_;
    QPushButton* uninstall_;
    WorkingOverlay* overlay_;
    ConfirmPresenter* confirm_;
};

} // namespace bramwick
