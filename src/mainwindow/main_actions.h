// What the main window does rather than shows, decided in plain functions: the texts of its
// clean confirmation, what start-up does, which category the Uninstall button opens. And the
// window's toolbar, the list's switches included.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QButtonGroup>
#include <QToolButton>
#include <QWidget>

#include "mainwindow/list_plan.h"
#include "platform/settings.h"
#include "store/store.h"

namespace bramwick {

namespace MainActions {

// A clean waiting for the card: these items of this category (as they were when the user
// asked), or every safe category; the list's rows ask with the same value.
using Confirmation = ListPlan::Confirmation;

std::string confirmationTitle(const Confirmation& confirmation);
// "3 items, 12 MB.\n\n" and what the action does; for every safe category the store's warning,
// `toTrash` of its total going to the Trash rather than deleted.
std::string confirmationMessage(const Confirmation& confirmation, std::int64_t safeTotal,
                                const std::vector<std::string>& yours,
                                const StoreText::TrashContents& trash = {},
                                std::int64_t toTrash = 0);
// What of the listed items Clean All Safe moves to the Trash instead of deleting: those of the
// categories it takes that go to the Trash, less any that go by their own command.
std::int64_t safeCleanToTrash(const std::vector<CleanupCategory>& categories,
                              const std::map<std::string, Store::CategoryState>& states);
bool confirmationDangerous(const Confirmation& confirmation);
// A category's clean as the store lists the category now: of the items asked, those still
// listed, as listed (a rescan may have measured them again); none when none is left. What the
// card then says and what confirming cleans are these.
std::optional<Confirmation> stillListed(const Confirmation& confirmation,
                                        const std::vector<ScanItem>& listed);
inline constexpr const char* confirmLabel = "Clean";

enum class StartUp { showAccessSetup, scan, nothing };
// After the access was probed again: the setup card when there is no access and the user never
// went on without; else a full scan unless one ran or runs.
StartUp startUp(bool access, bool skippedAccessSetup, bool scannedBefore, bool scanningAll);

// The first category listing applications: the Uninstall button opens its every-app details.
std::optional<CleanupCategory> uninstallCategory(const std::vector<CleanupCategory>& categories);

} // namespace MainActions

// The window's one toolbar, in this order: Hide Empty and the arrangement (the list's switches,
// written to the settings the list reads), then Uninstall an App, Maintenance, Add Folder (a
// menu of three levels), Schedule, Rescan and Settings. Rescan is off while a full scan runs.
// The switches follow the settings whoever writes them; every other button only calls its action.
class MainToolbar : public QWidget {
    Q_OBJECT

  public:
    struct Actions {
        std::function<void()> uninstall;
        std::function<void()> maintenance;
        std::function<void(Level)> addFolder;
        std::function<void()> schedule;
        std::function<void()> rescan;
        std::function<void()> settings;
    };

    MainToolbar(Store& store, Settings& settings, Actions actions, QWidget* parent = nullptr);
    ~MainToolbar() override;
    QToolButton* button(const char* objectName) const;

  private:
    void follow();
    void followSettings();
    Store& store_;
    Settings& settings_;
    Actions actions_;
    std::size_t subscription_ = 0;
    QToolButton* hideEmpty_ = nullptr;
    QButtonGroup* arrange_ = nullptr;
};

} // namespace bramwick
