#include "journey.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

#include "app/gui/desktop_store.h"
#include "appearance/confirm_card.h"
#include "gui_support.h"
#include "mainwindow/main_content.h"
#include "mainwindow/window_top.h"
#include "sheets/details_sheet.h"
#include "sheets/item_table.h"
#include "support/fixture.h"

namespace bramwick::test {

RealWindow::RealWindow() {
    guiApplication();
    // A file of the window's own: the process-wide settings keep what earlier tests set in
    // memory (the skin is read from those, as at launch).
    settings_ = std::make_unique<Settings>(home() + "/.config/bramwick/window-settings.json");
    StoreServices services = desktopStoreServices();
    services.settings = settings_.get();
    services.applications = &applications_;
    services.notifier = &notifier_;
    Scenes::Options options;
    options.trayAvailable = true;
    options.quit = [] {};
    options.updates = std::make_unique<FakeUpdates>();
    scenes_ = std::make_unique<Scenes>(std::move(services), std::move(options));
    scenes_->start();
    scenes_->openMainWindow();
    EXPECT_TRUE(waitUntil([this] { return store().lastScan().has_value(); }))
        << "the first full scan did not end";
    waitUntilIdle();
}

RealWindow::~RealWindow() {
    // What the pools still hand back finds the store gone and is dropped.
    waitUntilIdle(10'000);
    scenes_.reset();
}

QWidget* RealWindow::window() const {
    return scenes_->mainWindow();
}

WindowTop& RealWindow::top() const {
    return *qobject_cast<WindowTop*>(scenes_->mainWindow()->top());
}

CategoryRow* RealWindow::row(const std::string& id) {
    auto* content = qobject_cast<MainContent*>(scenes_->mainWindow()->content());
    CategoryRow* found = nullptr;
    waitUntil([&] { return (found = content->list()->row(id)) && found->isVisible(); }, 10'000);
    if (found) content->list()->scrollArea()->ensureWidgetVisible(found);
    return found;
}

ConfirmCard* RealWindow::card() const {
    auto* card = top().presenter()->card();
    return card && card->isVisible() ? card : nullptr;
}

DetailsSheet* RealWindow::detailsSheet() const {
    for (auto* sheet : window()->findChildren<DetailsSheet*>())
        if (sheet->isVisible()) return sheet;
    return nullptr;
}

bool RealWindow::waitUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

bool RealWindow::waitUntilIdle(int limitMs) {
    auto* content = qobject_cast<MainContent*>(scenes_->mainWindow()->content());
    return waitUntil(
        [this, content] {
            const Store& s = store();
            if (s.scanningAll() || s.cleaningAll() || s.uninstalls().uninstalling() ||
                s.uninstalls().findingLeftovers())
                return false;
            // The list shows what the store holds once its next refresh has run.
            if (content && content->refreshPending()) return false;
            return std::none_of(s.states().begin(), s.states().end(), [](const auto& entry) {
                return entry.second.scanning || entry.second.cleaning;
            });
        },
        limitMs);
}

QString spoken(const QWidget* widget) {
    QAccessibleInterface* face =
        QAccessible::queryAccessibleInterface(const_cast<QWidget*>(widget));
    return face ? face->text(QAccessible::Name) : QString();
}

QStringList shownTexts(const QWidget* root) {
    QStringList texts;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (label->isVisible() && !spoken(label).isEmpty()) texts << spoken(label);
    return texts;
}

QAbstractButton* buttonNamed(const QWidget* root, const QString& name) {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        if (button->isVisible() && spoken(button) == name) return button;
    return nullptr;
}

void click(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << spoken(button).toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

bool clickRow(ItemTable& table, const std::string& name) {
    for (int row = 0; row < table.itemModel()->rowCount(); ++row) {
        if (table.itemModel()->at(row).name != name) continue;
        const QModelIndex cell = table.model()->index(row, 0);
        table.scrollTo(cell);
        QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(cell).center());
        return true;
    }
    return false;
}

QString cardTitle(const ConfirmCard& card) {
    return spoken(card.findChild<QLabel*>(QStringLiteral("confirmTitle")));
}

QString cardMessage(const ConfirmCard& card) {
    auto* message = card.findChild<QLabel*>(QStringLiteral("confirmMessage"));
    return message ? spoken(message) : QString();
}

std::string makeAllocatedFile(const std::string& path, std::int64_t bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        EXPECT_EQ(::posix_fallocate(fd, 0, bytes), 0) << path;
        ::close(fd);
    }
    return path;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace bramwick::test
