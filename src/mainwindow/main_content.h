// The content of the main window, laid over the window's backdrop (it paints none itself): the
// place for the disk header and the banners, the level filter bar, the classic divider, the place
// for the scanning hero, and the category list.
//
// What the user asks of a row that the window answers (the details of a category, a clean
// waiting for confirmation) it emits as a request; the window opens the sheet or shows the
// confirmation card. Every change of the store or of the settings is gathered into one refresh on
// the next turn of the event loop, however many arrive in one turn. The first build of the list is
// spread over several turns, a few rows each, so the window paints and answers while it fills.
#pragma once

#include <functional>
#include <optional>

#include <QFrame>
#include <QTimer>
#include <QVBoxLayout>

#include "appearance/window_dressing.h"
#include "mainwindow/category_list.h"
#include "mainwindow/level_filter_bar.h"
#include "mainwindow/list_plan.h"
#include "platform/settings.h"
#include "store/store.h"

namespace bramwick {

class MainContent : public QWidget {
    Q_OBJECT

  public:
    struct Desktop {
        // Opens a folder in the file manager; by default through the desktop's URL handler.
        std::function<void(const std::string& path)> openFolder;
    };

    MainContent(Store& store, Settings& settings, Desktop desktop = {}, QWidget* parent = nullptr);
    ~MainContent() override;

    // The window's other parts go here: the header and banners above the filter bar, the
    // running-now section at the head of the list, the scanning hero below the filter bar.
    QVBoxLayout* headerArea() const { return headerArea_; }
    QVBoxLayout* heroArea() const { return heroArea_; }
    void setRunningNow(QWidget* section) {
        list_->setRunningNow(section);
        schedule();
    }

    // The stored choices; each setter writes the setting and the list follows.
    ListPlan::ListSettings listSettings() const;
    void setArrangement(ListPlan::Arrangement arrangement);
    void setLevelFilter(const std::string& filter);
    void setHideEmpty(bool hide);

    CategoryList* list() const { return list_; }
    LevelFilterBar* filterBar() const { return filterBar_; }
    QFrame* divider() const { return divider_; }
    const ListPlan::Plan& plan() const { return plan_; }

    // Rows made in one turn of the event loop.
    static constexpr std::size_t rowsPerTurn = 4;

    // Redraws now what is waiting, every row made; tests and the benchmark call it to time or
    // settle a refresh.
    void refreshNow();
    bool refreshPending() const { return pending_; }
    int refreshes() const { return refreshes_; }
    // The longest refresh after the first, in milliseconds (the benchmark tells the list's own
    // share of the window's stalls by it).
    double slowestRefresh() const { return slowestRefresh_; }

  signals:
    // A row's clean, to be confirmed on the card before it runs.
    void cleanRequested(const ListPlan::Confirmation& confirmation);
    // A row's details: its Details button, or the clean of a dangerous or review-only category,
    // which is never cleaned from the card.
    void detailsRequested(const ListPlan::DetailsRequest& request);

  protected:
    bool event(QEvent* event) override;

  private:
    void schedule();
    void refresh(std::size_t newRows);
    // The rows still to be made wait for a later turn, after what is waiting now (a paint, a
    // timer): a refresh posted at once would run in this very turn.
    void scheduleMoreRows();

    Store& store_;
    Settings& settings_;
    Desktop desktop_;
    std::size_t subscription_ = 0;
    bool pending_ = false;
    bool scrollToTop_ = false;
    QTimer moreRows_;
    int refreshes_ = 0;
    double slowestRefresh_ = 0;
    ListPlan::Plan plan_;
    std::optional<Skin> dressedIn_;

    QVBoxLayout* headerArea_;
    LevelFilterBar* filterBar_;
    QFrame* divider_;
    QVBoxLayout* heroArea_;
    CategoryList* list_;
};

} // namespace bramwick
