// The program's main window as a user meets it: the real store with the real catalog, scanner,
// cleaner and Trash over the test's home (BRAMWICK_HOME), a settings file of its own there, and
// real worker threads. Only the running applications, the notifier and the update
// back end are the test's, so nothing outside the home is asked or touched.
//
// Tests build their files first, then the window (which scans them), then drive it the way a
// user does: they find a button by the name a screen reader hears, click it, and read what the
// shown widgets say.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QAbstractButton>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "app/gui/scenes.h"
#include "store/store_harness.h"

namespace bramwick {
class ConfirmCard;
class CategoryRow;
class DetailsSheet;
class ItemTable;
class WindowTop;
} // namespace bramwick

namespace bramwick::test {

class RealWindow {
  public:
    // Opens the main window and waits for its first full scan to end.
    RealWindow();
    ~RealWindow();

    Store& store() { return scenes_->store(); }
    QWidget* window() const;
    WindowTop& top() const;

    // The row of a category, once the list has made it, scrolled into view.
    CategoryRow* row(const std::string& id);
    // The card over the window, or null.
    ConfirmCard* card() const;
    // The details sheet on screen, or null.
    DetailsSheet* detailsSheet() const;

    // Runs the event loop until `done` holds; false when `limitMs` passed first.
    static bool waitUntil(const std::function<bool()>& done, int limitMs = 60'000);
    // Until no scan, clean or uninstall of the store runs and the list shows what it holds.
    bool waitUntilIdle(int limitMs = 60'000);

  private:
    std::unique_ptr<Settings> settings_;
    FakeApplications applications_;
    FakeNotifier notifier_;
    std::unique_ptr<Scenes> scenes_;
};

// What a screen reader says for a widget: its accessible name.
QString spoken(const QWidget* widget);
// The shown labels under `root`, top to bottom as the accessibility tree has them.
QStringList shownTexts(const QWidget* root);
// The first shown button under `root` whose accessible name is `name`, or null.
QAbstractButton* buttonNamed(const QWidget* root, const QString& name);
// Clicks it with the mouse, as a user does.
void click(QAbstractButton* button);
// Clicks the row of a table that shows the item named `name`; false when none does.
bool clickRow(ItemTable& table, const std::string& name);
// The title and message a card shows.
QString cardTitle(const ConfirmCard& card);
QString cardMessage(const ConfirmCard& card);

// A file of `bytes` allocated bytes, made without writing them (so large files cost nothing).
std::string makeAllocatedFile(const std::string& path, std::int64_t bytes);
// The names in a folder, sorted; none when it cannot be read.
std::vector<std::string> namesIn(const std::string& folder);

} // namespace bramwick::test
