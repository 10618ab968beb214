// The maintenance and memory users sheets over a fake task table and a fake provider, with
// their off-thread work queued so the tests decide when it finishes; and the unused-days editor.
#include <gtest/gtest.h>

#include <deque>

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include "app/gui/gui_support.h"
#include "appearance/confirm_card.h"
#include "appearance/window_dressing.h"
#include "base/edition.h"
#include "sheets/maintenance_sheet.h"
#include "sheets/memory_users_sheet.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheet_rules.h"
#include "sheets/sheets.h"
#include "sheets/unused_days.h"

using namespace bramwick;

namespace {

// Off-thread jobs, held until the test runs them (their results come back through the loop).
struct Queue {
    std::deque<std::function<void()>> jobs;
    std::function<void(std::function<void()>)> work() {
        return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
    }
    void runOne(std::size_t index = 0) {
        auto job = std::move(jobs[index]);
        jobs.erase(jobs.begin() + static_cast<long>(index));
        job();
        QCoreApplication::sendPostedEvents();
    }
};

MaintenanceTask task(const std::string& id, bool commands, bool password = false) {
    MaintenanceTask t;
    t.id = id;
    t.name = "Task " + id;
    t.detail = "What " + id + " does.";
    t.cost = commands ? "Takes a minute." : "";
    t.symbol = "gearshape";
    t.needsPassword = password;
    t.isAvailable = [] { return true; };
    t.measure = [id]() -> std::optional<std::string> { return id + " measured"; };
    t.commands = [commands] {
        return commands ? std::vector<std::vector<std::string>>{{"true"}}
                        : std::vector<std::vector<std::string>>{};
    };
    return t;
}

QStringList texts(QWidget& root, const char* name) {
    QStringList out;
    for (auto* label : root.findChildren<QLabel*>(name))
        out << label->text();
    return out;
}

} // namespace

TEST(MaintenanceRules, RunButtonsAndMessages) {
    using SheetRules::RunButton;
    EXPECT_EQ(SheetRules::runButton(false, "dns", std::nullopt), RunButton{});
    EXPECT_EQ(SheetRules::runButton(true, "dns", std::nullopt), (RunButton{true, "Run", true}));
    EXPECT_EQ(SheetRules::runButton(true, "dns", "dns"), (RunButton{true, "Working\u2026", false}));
    EXPECT_EQ(SheetRules::runButton(true, "logs", "dns"), (RunButton{true, "Run", false}));
    EXPECT_EQ(SheetRules::maintenanceConfirmMessage(task("a", false)), "");
    EXPECT_EQ(SheetRules::maintenanceConfirmMessage(task("a", false, true)),
              "\n\nThe system will ask for your administrator password.");
    EXPECT_EQ(SheetRules::maintenanceConfirmMessage(task("b", true, true)),
              "Takes a minute.\n\nThe system will ask for your administrator password.");
}

TEST(MaintenanceSheet, ListsAvailableTasksRunsAfterConfirmingAndMeasuresAgainAfterARun) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    Queue queue;
    auto hidden = task("hidden", true);
    hidden.isAvailable = [] { return false; };
    MaintenanceSource source;
    source.tasks = [&] {
        return std::vector{task("info", false), task("dns", true, true), hidden};
    };
    source.retired = [] {
        return std::vector<Maintenance::Retired>{{"Free up RAM", "It does nothing useful."}};
    };
    source.work = queue.work();
    QWidget window;
    window.show();
    auto* dialog = Sheets::openMaintenance(&window, *store, source);
    auto& sheet = *dialog->findChild<MaintenanceSheet*>();
    EXPECT_NE(sheet.findChild<QWidget*>("task:info"), nullptr);
    EXPECT_NE(sheet.findChild<QWidget*>("task:dns"), nullptr);
    EXPECT_EQ(sheet.findChild<QWidget*>("task:hidden"), nullptr);
    EXPECT_EQ(sheet.findChildren<QWidget*>("retiredRow").size(), 1);
    EXPECT_EQ(sheet.findChild<QWidget*>("task:info")->findChild<QPushButton*>("run"), nullptr);
    EXPECT_TRUE(sheet.findChild<QPushButton*>("done")->isDefault());

    ASSERT_EQ(queue.jobs.size(), 1u) << "shown: one measuring pass";
    queue.runOne();
    EXPECT_EQ(texts(sheet, "measurement"), (QStringList{"info measured", "dns measured"}));

    sheet.findChild<QWidget*>("task:dns")->findChild<QPushButton*>("run")->click();
    auto* card = sheet.confirmPresenter()->card();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->findChild<QLabel*>("confirmTitle")->text(), "Task dns");
    card->confirmButton()->click();
    auto* run = sheet.findChild<QWidget*>("task:dns")->findChild<QPushButton*>("run");
    EXPECT_EQ(run->text(), "Working\u2026");
    EXPECT_FALSE(run->isEnabled());
    EXPECT_TRUE(queue.jobs.empty()) << "a run starting measures nothing";
    h.user.runAll();
    EXPECT_EQ(sheet.findChild<QWidget*>("task:dns")->findChild<QPushButton*>("run")->text(), "Run");
    EXPECT_EQ(queue.jobs.size(), 1u) << "a run ending measures again";
    ASSERT_TRUE(store->report());
    EXPECT_EQ(store->report()->title, "Task dns");
}

TEST(MaintenanceSheet, OnlyTheLatestMeasurementOfAnOpenSheetIsShown) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    Queue queue;
    int pass = 0;
    MaintenanceSource source;
    source.tasks = [&] {
        auto t = task("logs", true);
        const int n = ++pass;
        t.measure = [n]() -> std::optional<std::string> { return "pass " + std::to_string(n); };
        return std::vector{t};
    };
    source.retired = [] { return std::vector<Maintenance::Retired>{}; };
    source.work = queue.work();
    auto sheet = std::make_unique<MaintenanceSheet>(store->maintenance(), *store, source);
    sheet->show();
    sheet->measure();
    ASSERT_EQ(queue.jobs.size(), 2u);
    queue.runOne(1); // the latest first
    const auto latest = sheet->measurements();
    queue.runOne(0); // the older one, late
    EXPECT_EQ(sheet->measurements(), latest) << "a late older pass does not overwrite";

    sheet->measure();
    sheet->hide();
    queue.runOne();
    EXPECT_EQ(sheet->measurements(), latest) << "a closed sheet takes no result";
    sheet->show();
    sheet->measure();
    sheet.reset();
    queue.runOne(); // the sheet is gone: nothing to apply to, nothing breaks
}

TEST(MemoryRules, CaptionsTrailingAndNotes) {
    MemoryUsers::Entry browser{"org.mozilla.firefox", "Firefox", 1, 0, {1}, "org.mozilla.firefox"};
    MemoryUsers::Entry helper{"helper", "helper", 1, 0, {1, 2}, std::nullopt};
    MemoryUsers::Entry single{"editor", "Editor", 1, 0, {1}, "org.example.Editor"};
    MemoryUsers::Entry own{Edition::appId, "Bramwick", 1, 0, {1}, std::string(Edition::appId)};
    EXPECT_EQ(SheetRules::memoryCaption(browser),
              "1 processes \u2014 mostly tabs. Closing a few returns more than you would think.");
    EXPECT_EQ(SheetRules::memoryCaption(helper), "2 processes");
    EXPECT_EQ(SheetRules::memoryCaption(single), std::nullopt);
    EXPECT_EQ(SheetRules::memoryTrailing(own, Edition::appId), SheetRules::MemoryTrailing::thisApp);
    EXPECT_EQ(SheetRules::memoryTrailing(helper, Edition::appId),
              SheetRules::MemoryTrailing::notAnApp);
    EXPECT_EQ(SheetRules::memoryTrailing(single, Edition::appId),
              SheetRules::MemoryTrailing::buttons);
    EXPECT_EQ(SheetRules::quitNote("Editor", MemoryUsers::QuitResult::notRunning()),
              "Editor had already quit.");
    EXPECT_EQ(SheetRules::quitNote("Editor", MemoryUsers::QuitResult::refused("No way.")),
              "No way.");
    EXPECT_EQ(SheetRules::showNote("Editor", false), "Could not bring Editor forward.");
}

TEST(MemoryUsersSheet, ShowAndQuitGoThroughTheProviderAndQuitReadsAgain) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    Queue queue;
    std::vector<MemoryUsers::Entry> listed{
        {"org.example.Editor", "Editor", 900'000'000, 0, {10, 11}, "org.example.Editor"},
        {Edition::appId, "Bramwick", 80'000'000, 0, {12}, std::string(Edition::appId)},
        {"kworker", "kworker", 1'000'000, 0, {13}, std::nullopt},
    };
    int reads = 0;
    std::vector<std::string> shown, quit;
    MemoryProvider provider;
    provider.current = [&](int limit) {
        EXPECT_EQ(limit, 12);
        ++reads;
        return listed;
    };
    provider.show = [&](const MemoryUsers::Entry& e) {
        shown.push_back(e.name);
        return true;
    };
    provider.quit = [&](const MemoryUsers::Entry& e) {
        quit.push_back(e.name);
        return MemoryUsers::QuitResult::notRunning();
    };
    provider.work = queue.work();
    MemoryUsersSheet sheet(store->vitals(), provider);
    sheet.show();
    ASSERT_EQ(queue.jobs.size(), 1u);
    queue.runOne();
    EXPECT_EQ(sheet.entries().size(), 3u);
    EXPECT_EQ(texts(sheet, "trailing"), (QStringList{"this app", "not an app"}));
    EXPECT_EQ(sheet.findChildren<QPushButton*>("quit").size(), 1) << "never our own program";
    EXPECT_TRUE(texts(sheet, "pressure")[0].startsWith("Memory is under no pressure."));

    sheet.findChild<QPushButton*>("show")->click();
    EXPECT_EQ(shown, std::vector<std::string>{"Editor"});
    EXPECT_TRUE(queue.jobs.empty()) << "Show reads nothing";
    EXPECT_TRUE(sheet.note()->starts_with("Editor is at the front."));

    sheet.findChild<QPushButton*>("quit")->click();
    EXPECT_EQ(quit, std::vector<std::string>{"Editor"});
    EXPECT_EQ(*sheet.note(), "Editor had already quit.");
    EXPECT_TRUE(queue.jobs.empty());
    QTest::qWait(MemoryUsersSheet::rereadDelay + 200);
    ASSERT_EQ(queue.jobs.size(), 1u) << "read again after the quit";
    listed.pop_back();
    queue.runOne();
    EXPECT_EQ(sheet.entries().size(), 2u);

    // The pressure sentence follows the vitals.
    h.reading.pressure = Vitals::Pressure::critical;
    auto sampling = store->vitals().sample();
    h.user.runAll();
    EXPECT_TRUE(texts(sheet, "pressure")[0].startsWith("The system is out of memory"));
}

TEST(UnusedDays, TheSummaryAndEditorWriteThroughTheStore) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    UnusedDaysSummary summary(*store, TextStyle::body);
    summary.show();
    EXPECT_EQ(summary.findChild<QPushButton*>("unusedDaysNumber")->text(), "100");
    EXPECT_EQ(summary.findChild<QLabel*>("unusedDaysWord")->text(), "days");
    summary.findChild<QPushButton*>("unusedDaysNumber")->click();
    ASSERT_NE(summary.editor(), nullptr);
    auto& editor = *summary.editor();
    auto* field = editor.findChild<QLineEdit*>("daysField");
    EXPECT_EQ(field->text(), "100");
    EXPECT_TRUE(editor.findChild<QPushButton*>("preset100")->property("tinted").toBool());

    editor.findChild<QPushButton*>("preset30")->click();
    EXPECT_EQ(store->unusedAppDays(), 30);
    EXPECT_TRUE(editor.findChild<QPushButton*>("preset30")->property("tinted").toBool());
    EXPECT_FALSE(editor.findChild<QPushButton*>("preset100")->property("tinted").toBool());

    field->setText("0");
    emit field->editingFinished();
    EXPECT_EQ(store->unusedAppDays(), 1);
    EXPECT_EQ(field->text(), "1");
    EXPECT_EQ(summary.findChild<QLabel*>("unusedDaysWord")->text(), "day");
    editor.findChild<QPushButton*>("daysDown")->click();
    EXPECT_EQ(store->unusedAppDays(), 1);

    field->setText("5000");
    emit field->editingFinished();
    EXPECT_EQ(store->unusedAppDays(), 5000) << "only the stepper is bounded";
    field->setText("soon");
    emit field->editingFinished();
    EXPECT_EQ(store->unusedAppDays(), 5000);
    EXPECT_EQ(field->text(), QLocale().toString(5000)) << "shown again in the user's locale";
}

TEST(UnusedDays, TheEditorOpensInTheSkinOfItsWindowAndItsTextsReadThere) {
    test::guiApplication();
    test::StoreHarness h;
    auto store = h.make();
    for (Skin skin : Skins::allCases) {
        QWidget window;
        auto* summary = new UnusedDaysSummary(*store, TextStyle::body, &window);
        dressWindow(&window, skin);
        window.show();
        summary->findChild<QPushButton*>("unusedDaysNumber")->click();
        ASSERT_NE(summary->editor(), nullptr);
        QWidget& popover = *summary->editor();
        EXPECT_EQ(skinOf(&popover), skin);
        EXPECT_EQ(popover.palette().color(QPalette::Window),
                  window.palette().color(QPalette::Window))
            << Skins::rawValue(skin).toStdString();
        // The dimmed note on the popover's own background.
        auto* note = popover.findChildren<SheetText*>().last();
        ASSERT_TRUE(note->text().startsWith("Apps the system has no record"));
        const QColor background = popover.palette().color(QPalette::Window);
        EXPECT_GE(contrastRatio(composited(note->palette().color(QPalette::WindowText), background),
                                background),
                  4.5)
            << Skins::rawValue(skin).toStdString();
        popover.close();
    }
}
