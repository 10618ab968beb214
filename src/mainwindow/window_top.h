// The top of the main window and what the window does: the toolbar of actions, the disk
// header, the report and access banners and the scanning hero, above the category list; the
// confirmation card before a clean; the full-disk-access setup over the dimmed window; the work
// it starts when it is shown and whenever the program becomes active; and the sheets it opens
// over the window (details, schedule, memory users, maintenance, and the history from the
// schedule). Each sheet opens with `open()` while its request holds, and closing it clears the
// request.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDialog>
#include <QKeySequence>
#include <QPointer>
#include <QWidget>

#include "appearance/confirm_card.h"
#include "mainwindow/access_setup.h"
#include "mainwindow/banners.h"
#include "mainwindow/disk_header.h"
#include "mainwindow/main_actions.h"
#include "mainwindow/main_window_frame.h"
#include "mainwindow/running_now.h"
#include "mainwindow/scanning_hero.h"
#include "platform/settings.h"
#include "sheets/maintenance_sheet.h"
#include "sheets/memory_users_sheet.h"
#include "store/store.h"

namespace bramwick {

class MainContent;

class WindowTop : public QWidget {
    Q_OBJECT

  public:
    // Where the maintenance and memory users sheets read from; none gives the system's.
    struct SheetSources {
        std::function<MaintenanceSource()> maintenance;
        std::function<MemoryProvider()> memory;
    };

    // `window` is what the card, the setup and the sheets cover; it must outlive this.
    WindowTop(Store& store, Settings& settings, QWidget* window, SheetSources sources = {},
              QWidget* parent = nullptr);

    DiskHeader* header() const { return header_; }
    ReportBanner* reportBanner() const { return report_; }
    FullDiskAccessBanner* accessBanner() const { return access_; }
    MainToolbar* toolbar() const { return toolbar_; }
    QWidget* heroRow() const { return hero_; }
    ConfirmPresenter* presenter() const { return presenter_; }

    // Shows the card for a clean; confirming runs it with exactly the items it carries.
    void askToConfirm(MainActions::Confirmation confirmation);
    // The clean the card shows; none once either of its buttons ran.
    std::optional<MainActions::Confirmation> confirmation() const {
        return presenter_->card() ? confirmation_ : std::nullopt;
    }

    void setShowAccessSetup(bool shown);
    bool showAccessSetup() const { return setup_ != nullptr; }
    FullDiskAccessSetup* accessSetup() const { return setup_; }

    // The details sheet on screen: the list's request, or the toolbar's Uninstall.
    const std::optional<ListPlan::DetailsRequest>& detailsFor() const { return detailsFor_; }
    bool showSchedule() const { return showSchedule_; }
    bool showMemoryUsers() const { return showMemoryUsers_; }

    // Joins the category list below: the hero goes under its filter bar, the running-now section
    // at its head, its rows' cleans onto this card, and the CPU meter scrolls it.
    void attachList(MainContent& content);

    // The start-up work: runs on every appearance of the window.
    void startUp();
    // What the window does when the program becomes active again.
    void becameActive();

    // The keys that open the settings: the desktop's own for Preferences, and Ctrl+, always
    // (the generic desktop names none).
    static QList<QKeySequence> settingsKeys();

  signals:
    // The list clears its level filter (already written to the settings) and scrolls to the
    // running-now section on the next turn of the event loop.
    void showRunningRequested();
    void detailsForChanged();
    void sheetsChanged();
    // The toolbar's Settings or its shortcut: the program opens its settings window.
    void settingsRequested();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Brings the card's words up to date with the store; a category's card goes when nothing it
    // offered is listed any more.
    void followCard();
    std::string confirmationMessage(const MainActions::Confirmation& confirmation) const;
    void showRunning();
    void openDetails(const ListPlan::DetailsRequest& request);
    void openSchedule();
    void openMemoryUsers();
    void openMaintenance();

    Store& store_;
    Settings& settings_;
    QWidget* window_;
    MainToolbar* toolbar_;
    DiskHeader* header_;
    ReportBanner* report_;
    FullDiskAccessBanner* access_;
    QWidget* hero_;
    ConfirmPresenter* presenter_;
    QWidget* setupLayer_ = nullptr;
    FullDiskAccessSetup* setup_ = nullptr;
    std::optional<MainActions::Confirmation> confirmation_;
    std::optional<ListPlan::DetailsRequest> detailsFor_;
    bool showSchedule_ = false;
    bool showMemoryUsers_ = false;
    SheetSources sources_;
    // The sheet of each kind on screen, so a second request does not stack another.
    QPointer<QDialog> details_;
    QPointer<QDialog> schedule_;
    QPointer<QDialog> memoryUsers_;
    QPointer<QDialog> maintenance_;
};

// The main window as the program opens it: the frame, this top above the category list, the
// two joined.
std::unique_ptr<MainWindowFrame> makeMainWindow(Store& store, Settings& settings,
                                                MainWindowFrame::Hooks hooks,
                                                WindowTop::SheetSources sources = {});

} // namespace bramwick
