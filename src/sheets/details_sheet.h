// The details of one category: its items in a table, the selection with its summary, and what
// can be done with it: clean after a confirmation, move to another folder or drive, reveal, or
// (for applications) hand one over to the uninstaller. Everything that changes files goes
// through the store; the sheet decides what is offered and which items it passes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

#include "engine/models.h"
#include "store/item_list.h"

class QCheckBox;
class QHBoxLayout;
class QPushButton;

namespace bramwick {

class ConfirmPresenter;
class ItemTable;
class ItemTableModel;
class SheetDialog;
class SheetText;
class Store;
class WorkingOverlay;

class DetailsSheet : public QWidget {
    Q_OBJECT
  public:
    static constexpr int minimumWidth = 780;
    static constexpr int minimumHeight = 500;

    DetailsSheet(Store& store, CleanupCategory category, bool everyApp, QWidget* parent = nullptr);
    ~DetailsSheet() override;

    ItemTable* table() const { return table_; }
    // The listed items: every installed application in every-app mode, else the category's;
    // the store's own list, shared.
    ItemList items() const;
    // The listed items that are selected, in the listed order.
    std::vector<ScanItem> selected() const;
    ConfirmPresenter* confirmPresenter() const { return confirm_; }
    // The open folder dialog of a move, or null.
    QFileDialog* moveDialog() const { return moveDialog_; }
    // Where the folder dialog looks for a drive named "Backup Drive" (tests point it elsewhere).
    void setMountParents(std::vector<std::string> parents) { mountParents_ = std::move(parents); }

  private:
    void reload();
    void refreshFooter();
    void requestClean();
    void followCleanCard();
    void chooseDestination();
    void lookForLeftovers(const ScanItem& app);
    void showRowMenu(const QPoint& at);
    void followUninstall();
    bool cleaning() const;

    Store& store_;
    CleanupCategory category_;
    bool everyApp_;
    ItemTableModel* model_;
    ItemTable* table_;
    SheetText* summary_;
    QHBoxLayout* buttons_;
    std::vector<QPushButton*> footer_;
    WorkingOverlay* overlay_;
    ConfirmPresenter* confirm_ = nullptr;
    QPointer<QFileDialog> moveDialog_;
    QPointer<SheetDialog> uninstallSheet_;
    std::string uninstallPlan_; // the id of the plan the uninstall sheet shows
    std::vector<std::string> mountParents_;
};

} // namespace bramwick
