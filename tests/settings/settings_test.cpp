// The settings window's pages and the "Scheduled clean" sheet: what they decide, that each
// control reads and writes its setting with its default, and that what one window writes shows
// in the others at once.
#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <ctime>

#include <QTest>
#include <QTimeEdit>
#include <gtest/gtest.h>

#include "appearance/motion.h"
#include "appearance/window_dressing.h"
#include "base/text.h"
#include "engine/auto_clean.h"
#include "engine/folder_access.h"
#include "settings/schedule_sheet.h"
#include "settings/settings_pages.h"
#include "settings/settings_plan.h"
#include "store/store_harness.h"
#include "support/fixture.h"

namespace bramwick {
namespace {

using namespace std::chrono_literals;
using test::category;

void needGui() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "settings_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the process
    Motion::setEnabled(false);
}

void settle() {
    for (int round = 0; round < 4; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

template <typename T> T* find(QWidget* root, const char* name) {
    auto* found = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

TEST(SettingsPlan, TabsAndSkinCards) {
    EXPECT_EQ(SettingsPlan::tabIndex(std::nullopt), 1u); // Cleaning the first time
    EXPECT_EQ(SettingsPlan::tabIndex("general"), 0u);
    EXPECT_EQ(SettingsPlan::tabIndex("appearance"), 2u);
    EXPECT_EQ(SettingsPlan::tabIndex("sounds"), 1u);

    struct Case {
        std::optional<std::string> stored;
        std::optional<Skin> selected;
        bool animationSwitch;
    };
    for (const Case& c : std::vector<Case>{{std::nullopt, Skin::nightfall, true},
                                           {"classic", Skin::classic, false},
                                           {"hibernia", Skin::hibernia, true},
                                           {"Classic", std::nullopt, true},
                                           {"", std::nullopt, true}}) {
        for (Skin skin : Skins::allCases)
            EXPECT_EQ(SettingsPlan::skinSelected(c.stored, skin), c.selected == skin)
                << c.stored.value_or("(missing)");
        EXPECT_EQ(SettingsPlan::animationSwitchEnabled(c.stored), c.animationSwitch);
    }
}

TEST(SettingsPlan, ScheduleRowsAndTexts) {
    EXPECT_EQ(SettingsPlan::scheduleIndex("off"), 0u);
    EXPECT_EQ(SettingsPlan::scheduleIndex("monthly"), 3u);
    EXPECT_EQ(SettingsPlan::scheduleIndex("hourly"), std::nullopt);
    EXPECT_FALSE(SettingsPlan::showsTime("off"));
    EXPECT_TRUE(SettingsPlan::showsTime("daily"));
    EXPECT_TRUE(SettingsPlan::showsTime("hourly")); // shown, though the clean treats it as off

    Date now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    std::string yesterday = Text::relativeDate(now - 26h, now);
    EXPECT_EQ(SettingsPlan::lastAutoCleanText(0, now - 26h, now),
              "nothing to clean \u00b7 " + yesterday);
    EXPECT_EQ(SettingsPlan::lastAutoCleanText(1'200'000'000, now - 26h, now),
              Text::byteCount(1'200'000'000) + " \u00b7 " + yesterday);
    EXPECT_EQ(SettingsPlan::gigabytes(10), "10 GB");
    // The locale's short date and time, as --auto-clean writes the next run ("C" here).
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = 10;
    local.tm_hour = 13;
    local.tm_isdst = -1;
    const Date due = std::chrono::system_clock::from_time_t(std::mktime(&local));
    EXPECT_EQ(SettingsPlan::nextCleanText(due), "12/10/26 13:00:00");
    EXPECT_EQ(SettingsPlan::nextCleanText(due), Text::dateTime(due));
}

TEST(SettingsPlan, TheSheetListsWhatTheAutomaticCleanMayTake) {
    auto manual = category("manual");
    manual.neverAutomatic = true;
    auto moved = category("moved");
    moved.movedFrom = Level::warning;
    auto folder = category("custom-1");
    folder.customFolder = "/data/x";
    std::vector<CleanupCategory> all{category("npm"),
                                     category("review", Risk::caution),
                                     category("trash", Risk::safe, CleanAction::Kind::trash),
                                     manual,
                                     moved,
                                     folder,
                                     category("logs")};
    std::vector<std::string> ids;
    for (const auto& c : SettingsPlan::scheduleCandidates(all))
        ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"npm", "logs"}));
}

TEST(SettingsPlan, AChangeThatCouldNotBeSavedSaysWhy) {
    struct Case {
        const char* reason;
        const char* shown;
    };
    for (const Case& c : std::vector<Case>{
             {"cannot write /c/settings.json: No space left on device",
              "Couldn't save this change: cannot write /c/settings.json: No space left on device. "
              "It applies until Bramwick quits."},
             {"/c/bramwick is not a folder.\n",
              "Couldn't save this change: /c/bramwick is not a folder. It applies until Bramwick "
              "quits."},
             {" ", "Couldn't save this change. It applies until Bramwick quits."}})
        EXPECT_EQ(SettingsPlan::unsavedChangeText(c.reason), c.shown) << c.reason;
}

struct Gui {
    Gui() { needGui(); }
};

struct Pages : Gui {
    Pages() {
        h.catalog = {category("npm"), category("logs"), category("review", Risk::caution)};
        h.contents["npm"] = {test::item("cache", 3'000'000)};
        store = h.make();
        settle();
    }
    SettingsPages* make(Settings& settings, SettingsPages::Hooks hooks = {}) {
        if (!hooks.login.status)
            hooks.login.status = [] { return LoginItems::Status::notRegistered; };
        hooks.login.openFolder = [](const std::string&) { return true; };
        auto* pages = new SettingsPages(*store, settings, std::move(hooks));
        owned.emplace_back(pages);
        return pages;
    }
    test::StoreHarness h;
    std::unique_ptr<Store> store;
    std::vector<std::unique_ptr<QWidget>> owned;
};

TEST(SettingsPages, EachControlShowsItsDefaultAndWritesItsKey) {
    Pages p;
    Settings& s = *p.h.settings;
    int dockChanges = 0;
    SettingsPages::Hooks hooks;
    hooks.keepInDockChanged = [&] { ++dockChanges; };
    SettingsPages* pages = p.make(s, hooks);

    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_FALSE(find<QCheckBox>(pages, "openAtLogin")->isChecked());
    auto* dock = find<QCheckBox>(pages, "keepInDock");
    auto* updates = find<QCheckBox>(pages, "automaticUpdates");
    auto* schedule = find<QComboBox>(pages, "cleanSchedule");
    auto* time = find<QTimeEdit>(pages, "cleanTime");
    auto* low = find<QCheckBox>(pages, "cleanOnLowSpace");
    auto* gb = find<QSpinBox>(pages, "lowSpaceGB");
    auto* notify = find<QCheckBox>(pages, "cleanNotify");
    auto* animate = find<QCheckBox>(pages, "animateScans");
    EXPECT_FALSE(dock->isChecked());
    EXPECT_TRUE(updates->isChecked());
    EXPECT_EQ(schedule->currentText(), "Off");
    EXPECT_TRUE(time->isHidden());
    EXPECT_EQ(time->time(), QTime(13, 0));
    EXPECT_FALSE(low->isChecked());
    EXPECT_EQ(gb->value(), 10);
    EXPECT_FALSE(gb->isEnabled());
    EXPECT_TRUE(notify->isChecked());
    EXPECT_FALSE(notify->isEnabled()); // nothing would run to notify about
    EXPECT_TRUE(find<QLabel>(pages, "lastAutoClean")->isHidden());
    EXPECT_TRUE(find<SkinCard>(pages, "skinCard-nightfall")->selected());
    EXPECT_TRUE(animate->isChecked());
    EXPECT_TRUE(animate->isEnabled());

    dock->click();
    EXPECT_EQ(s.boolean("keepInDock"), true);
    EXPECT_EQ(dockChanges, 1);
    updates->click();
    EXPECT_EQ(s.boolean("SUEnableAutomaticChecks"), false);

    // A schedule arms the automatic clean once; "Off" takes the arming back.
    emit schedule->activated(1);
    settle();
    EXPECT_EQ(s.string("autoCleanSchedule"), "daily");
    auto armed = AutoClean::enabledAt(s);
    ASSERT_TRUE(armed);
    EXPECT_FALSE(time->isHidden());
    EXPECT_FALSE(find<QLabel>(pages, "nextClean")->isHidden());
    EXPECT_TRUE(notify->isEnabled());
    s.set("autoCleanEnabledAt", 100.0); // an earlier arming stays as it was
    emit schedule->activated(2);
    EXPECT_EQ(s.number("autoCleanEnabledAt"), 100.0);
    emit schedule->activated(0);
    settle();
    EXPECT_FALSE(s.contains("autoCleanEnabledAt"));
    EXPECT_TRUE(time->isHidden());

    time->setTime(QTime(6, 45));
    EXPECT_EQ(AutoClean::hour(s), 6);
    EXPECT_EQ(AutoClean::minute(s), 45);
    low->click();
    settle();
    EXPECT_EQ(s.boolean("autoCleanOnLowSpace"), true);
    EXPECT_TRUE(AutoClean::enabledAt(s));
    EXPECT_TRUE(gb->isEnabled());
    gb->setValue(250); // beyond the range: held at 200
    EXPECT_EQ(s.integer("autoCleanLowSpaceGB"), 200);
    low->click();
    EXPECT_TRUE(AutoClean::enabledAt(s)); // turning it off leaves the arming
    notify->setEnabled(true);
    notify->click();
    EXPECT_EQ(s.boolean("autoCleanNotify"), false);

    find<SkinCard>(pages, "skinCard-classic")->click();
    settle();
    EXPECT_EQ(s.string("skin"), "classic");
    EXPECT_TRUE(find<SkinCard>(pages, "skinCard-classic")->selected());
    EXPECT_FALSE(find<SkinCard>(pages, "skinCard-nightfall")->selected());
    EXPECT_FALSE(animate->isEnabled());
    EXPECT_TRUE(animate->isChecked()); // kept while it cannot be changed
    s.set("skin", "plaid");
    settle();
    for (Skin skin : Skins::allCases)
        EXPECT_FALSE(
            find<SkinCard>(pages, ("skinCard-" + Skins::rawValue(skin).toStdString()).c_str())
                ->selected());
    EXPECT_TRUE(animate->isEnabled());
    animate->click();
    EXPECT_EQ(s.boolean("animateScans"), false);

    pages->setCurrentIndex(0);
    EXPECT_EQ(s.string("settingsTab"), "general");
    EXPECT_EQ(p.make(s)->currentIndex(), 0); // reopens where it was left
}

TEST(SettingsPages, TheLastAutomaticCleanShowsWhenThereIsOne) {
    Pages p;
    AutoClean::setLastRun(p.h.now - 3h, *p.h.settings);
    AutoClean::setLastFreed(0, *p.h.settings);
    p.store = p.h.make();
    auto* last = find<QLabel>(p.make(*p.h.settings), "lastAutoClean");
    EXPECT_FALSE(last->isHidden());
    EXPECT_TRUE(last->text().startsWith("nothing to clean \u00b7 "));
}

TEST(SettingsPages, OtherWindowsSeeAChangeAtOnce) {
    Pages p;
    Settings& s = *p.h.settings;
    SettingsPages* one = p.make(s);
    SettingsPages* two = p.make(s);
    ScheduleSheet sheet(*p.store, s, {});

    find<QCheckBox>(one, "cleanOnLowSpace")->click();
    emit find<QComboBox>(&sheet, "sheetSchedule")->activated(2);
    settle();
    EXPECT_TRUE(find<QCheckBox>(two, "cleanOnLowSpace")->isChecked());
    EXPECT_TRUE(find<QCheckBox>(&sheet, "sheetOnLowSpace")->isChecked());
    EXPECT_EQ(find<QComboBox>(one, "cleanSchedule")->currentText(), "Weekly");
    EXPECT_FALSE(find<QTimeEdit>(two, "cleanTime")->isHidden());
    find<QCheckBox>(two, "cleanNotify")->click();
    settle();
    EXPECT_FALSE(find<QCheckBox>(&sheet, "sheetNotify")->isChecked());
}

TEST(SettingsPages, ChoosingASkinRedressesTheOtherWindows) {
    Pages p;
    Settings& standard = Settings::standard();
    standard.remove("skin");
    SettingsPages* pages = p.make(standard);
    QWidget other;
    SkinScene::attach(&other);
    EXPECT_EQ(skinOf(&other), Skin::nightfall);
    find<SkinCard>(pages, "skinCard-hibernia")->click();
    settle();
    EXPECT_EQ(skinOf(&other), Skin::hibernia);
    EXPECT_EQ(skinOf(pages), Skin::nightfall); // the pages are not a window of their own here
    standard.remove("skin");
}

TEST(SettingsPages, AChangeThatCouldNotBeSavedSaysSoUntilTheSettingsAreSaved) {
    // Read while their folder was there, then a file in the folder's place: every save fails,
    // whoever runs the test, until the file goes.
    std::string folder = test::makeTemporaryFolder("unsaved");
    Settings s(folder + "/bramwick/settings.json");
    std::filesystem::create_directory(folder + "/bramwick");
    EXPECT_FALSE(s.loadProblem());
    std::filesystem::remove(folder + "/bramwick");
    test::makeFile(folder + "/bramwick", 1);
    Pages p;
    SettingsPages* pages = p.make(s);
    pages->show();
    ScheduleSheet sheet(*p.store, s, {});
    sheet.show();
    auto* pageNotice = find<QLabel>(pages, "settingsSaveNotice");
    auto* sheetNotice = find<QLabel>(&sheet, "sheetSaveNotice");
    EXPECT_TRUE(pageNotice->isHidden());
    EXPECT_TRUE(sheetNotice->isHidden());
    int refits = 0;
    QObject::connect(pages, &SettingsPages::pageChanged, [&] { ++refits; });

    // "Off" again: its save fails, and then removing an arming that was never stored saves
    // nothing at all, which must not take the line away.
    emit find<QComboBox>(pages, "cleanSchedule")->activated(0);
    settle();
    EXPECT_FALSE(pageNotice->isHidden());
    auto* low = find<QCheckBox>(pages, "cleanOnLowSpace");
    low->click();
    settle();
    EXPECT_TRUE(low->isChecked()) << "it applies while the program runs";
    EXPECT_TRUE(AutoClean::onLowSpace(s));
    EXPECT_FALSE(pageNotice->isHidden());
    EXPECT_TRUE(pageNotice->text().startsWith("Couldn't save this change: "));
    EXPECT_TRUE(pageNotice->text().contains("is not a folder"));
    EXPECT_TRUE(pageNotice->text().endsWith(". It applies until Bramwick quits."));
    EXPECT_EQ(refits, 1) << "the window grows to show the line";
    EXPECT_TRUE(sheetNotice->isHidden()) << "nothing was changed in the sheet";

    // The line goes with the page shown; a tab switch that cannot be saved adds none.
    pages->setCurrentIndex(2);
    settle();
    EXPECT_EQ(pageNotice->parentWidget(), pages->widget(2));
    EXPECT_FALSE(pageNotice->isHidden());

    find<QCheckBox>(&sheet, "sheetNotify")->click();
    settle();
    EXPECT_FALSE(sheetNotice->isHidden());
    EXPECT_EQ(sheetNotice->text(), pageNotice->text());

    // Once a change saves, the ones before it are in the file too: both lines go.
    std::filesystem::remove(folder + "/bramwick");
    find<QCheckBox>(pages, "animateScans")->click();
    settle();
    EXPECT_TRUE(pageNotice->isHidden());
    EXPECT_TRUE(sheetNotice->isHidden());
    Settings reread(s.path());
    EXPECT_EQ(reread.boolean("autoCleanOnLowSpace"), true);
    EXPECT_EQ(reread.boolean("autoCleanNotify"), false);
    test::removeTree(folder);
}

TEST(SettingsPages, TheLoginSwitchFollowsWhatTheLoginItemsSay) {
    struct Case {
        const char* name;
        std::optional<std::string> failure;
        LoginItems::Status after;
        bool on;
        std::optional<std::string> message;
        bool offersLoginItems;
    };
    for (const Case& c : std::vector<Case>{
             {"registered", std::nullopt, LoginItems::Status::enabled, true, std::nullopt, false},
             {"write fails", "could not write the autostart entry: No space left on device",
              LoginItems::Status::notRegistered, false,
              "could not write the autostart entry: No space left on device", false},
             {"waits for approval", "refused", LoginItems::Status::requiresApproval, false,
              LoginItem::approvalText(), true}}) {
        SCOPED_TRACE(c.name);
        Pages p;
        auto status = std::make_shared<LoginItems::Status>(LoginItems::Status::notRegistered);
        int writes = 0;
        SettingsPages::Hooks hooks;
        hooks.login.status = [status] { return *status; };
        hooks.login.registerApp = [&, c] {
            ++writes;
            *status = c.after;
            return c.failure;
        };
        SettingsPages* pages = p.make(*p.h.settings, hooks);
        pages->show();
        auto* toggle = find<QCheckBox>(pages, "openAtLogin");
        auto* message = find<QLabel>(pages, "loginMessage");
        auto* button = find<QPushButton>(pages, "openLoginItems");
        EXPECT_TRUE(message->isHidden());
        toggle->click();
        EXPECT_EQ(writes, 1);
        EXPECT_EQ(toggle->isChecked(), c.on);
        EXPECT_EQ(!message->isHidden(), c.message.has_value());
        if (c.message) {
            EXPECT_EQ(message->text().toStdString(), *c.message);
        }
        EXPECT_EQ(!button->isHidden(), c.offersLoginItems);
        // An approval given elsewhere shows when the window comes back; the message stays.
        *status = LoginItems::Status::enabled;
        pages->refreshLogin();
        EXPECT_TRUE(toggle->isChecked());
        EXPECT_EQ(!message->isHidden(), c.message.has_value());
    }
}

TEST(ScheduleSheet, ListsWhatItMayTakeAndKeepsWhatIsSwitchedOff) {
    Pages p;
    Settings& s = *p.h.settings;
    AutoClean::setExcluded({"gone"}, s);
    QWidget window;
    window.show();
    auto* sheet = new ScheduleSheet(*p.store, s, {}, &window);
    sheet->open(); // returns at once: no loop of its own
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);

    EXPECT_NE(sheet->findChild<QCheckBox*>("sheetTake-npm"), nullptr);
    EXPECT_NE(sheet->findChild<QCheckBox*>("sheetTake-logs"), nullptr);
    EXPECT_EQ(sheet->findChild<QCheckBox*>("sheetTake-review"), nullptr);
    EXPECT_EQ(find<QLabel>(sheet, "sheetSize-npm")->text().toStdString(),
              Text::byteCount(3'000'000));
    EXPECT_EQ(find<QLabel>(sheet, "sheetSize-logs")->text().toStdString(), Text::byteCount(0));
    EXPECT_EQ(find<QCheckBox>(sheet, "sheetOnLowSpace")->text(),
              "Also when free space drops below 10 GB");
    EXPECT_TRUE(find<QTimeEdit>(sheet, "sheetTime")->isHidden());

    // An id no longer listed still offers "Turn all back on".
    auto* allOn = find<QPushButton>(sheet, "sheetAllBackOn");
    EXPECT_FALSE(allOn->isHidden());
    find<QCheckBox>(sheet, "sheetTake-npm")->click();
    EXPECT_EQ(AutoClean::excluded(s), (std::set<std::string>{"gone", "npm"}));
    EXPECT_FALSE(find<QCheckBox>(sheet, "sheetTake-npm")->isChecked());
    allOn->click();
    EXPECT_EQ(s.value("autoCleanExcluded"), nlohmann::json::array());
    EXPECT_TRUE(allOn->isHidden());
    EXPECT_TRUE(find<QCheckBox>(sheet, "sheetTake-npm")->isChecked());
    find<QCheckBox>(sheet, "sheetTake-logs")->click();

    // The sheet never arms the clean: the store's next check does.
    emit find<QComboBox>(sheet, "sheetSchedule")->activated(1);
    settle();
    EXPECT_EQ(s.string("autoCleanSchedule"), "daily");
    EXPECT_FALSE(s.contains("autoCleanEnabledAt"));
    EXPECT_FALSE(find<QTimeEdit>(sheet, "sheetTime")->isHidden());
    find<QTimeEdit>(sheet, "sheetTime")->setTime(QTime(22, 5));
    EXPECT_EQ(AutoClean::hour(s), 22);

    sheet->reject(); // closed any way: the exclusion stays
    EXPECT_EQ(AutoClean::excluded(s), (std::set<std::string>{"logs"}));

    int histories = 0;
    ScheduleSheet second(*p.store, s, [&](QWidget* over) {
        ++histories;
        EXPECT_NE(over, nullptr);
    });
    EXPECT_FALSE(find<QCheckBox>(&second, "sheetTake-logs")->isChecked());
    find<QPushButton>(&second, "sheetHistory")->click();
    EXPECT_EQ(histories, 1);
}

TEST(ScheduleSheet, NamesShowAsWrittenAndAClickOnOneFlipsItsSwitch) {
    Gui gui;
    test::StoreHarness h;
    auto logs = category("user-logs");
    logs.name = "System & App Logs";
    h.catalog = {logs};
    auto store = h.make();
    settle();
    ScheduleSheet sheet(*store, *h.settings, {});
    sheet.show();
    settle();
    auto* name = find<QLabel>(&sheet, "sheetName-user-logs");
    // What a screen reader reads and what is drawn: the "&" and no underlined letter.
    EXPECT_EQ(name->text(), "System & App Logs");
    EXPECT_EQ(name->buddy(), nullptr);
    EXPECT_EQ(name->textFormat(), Qt::PlainText);
    auto* toggle = find<QCheckBox>(&sheet, "sheetTake-user-logs");
    ASSERT_TRUE(toggle->isChecked());
    QTest::mouseClick(name, Qt::LeftButton);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(AutoClean::excluded(*h.settings), (std::set<std::string>{"user-logs"}));
    QTest::mouseClick(name, Qt::LeftButton);
    EXPECT_TRUE(toggle->isChecked());
}

TEST(FolderAccessSection, RemoveForgetsOnlyThatFolder) {
    Pages p;
    Settings& s = *p.h.settings;
    for (const auto& folder : FolderAccess::suggested())
        s.set("folderAccess." + folder.id, "granted");
    FolderAccess access(s);
    FolderAccessSection section(*p.store, access);
    ASSERT_EQ(section.findChildren<QPushButton*>().size(), FolderAccess::suggested().size());
    find<QPushButton>(&section, "folderRemove-desktop")->click();
    settle();
    for (const auto& folder : FolderAccess::suggested())
        EXPECT_EQ(s.contains("folderAccess." + folder.id), folder.id != "desktop") << folder.id;
}

} // namespace
} // namespace bramwick
