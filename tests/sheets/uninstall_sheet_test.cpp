// The uninstall sheet over a harness store: every leftover chosen at first, the counts, the
// confirmation with the password paragraph, a refused password and the system application.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>

#include "app/gui/gui_support.h"
#include "appearance/confirm_card.h"
#include "base/edition.h"
#include "sheets/sheet_frame.h"
#include "sheets/sheets.h"
#include "sheets/uninstall_sheet.h"

using namespace bramwick;
using bramwick::test::item;

namespace {

UninstallPlan editorPlan() {
    UninstallPlan plan;
    plan.id = "plan-editor";
    plan.app = item("Editor", 2'000'000);
    plan.bundleID = "org.example.Editor";
    plan.leftovers = {
        AppLeftover{"/home/me/.config/editor", "", "Preferences", 1'000'000,
                    AppLeftover::Ownership::user},
        AppLeftover{"/usr/lib/editor-helper", "", "Privileged helper", 500'000,
                    AppLeftover::Ownership::system},
    };
    plan.kept = {{"~/Documents", "Your documents are yours"}};
    return plan;
}

struct Fixture {
    Fixture() {
        test::guiApplication();
        h.access = false;
        services = h.services();
        services.uninstallPlan = [this](const ScanItem&) { return plan; };
        services.uninstall = [this](const ScanItem& app, const std::vector<AppLeftover>& chosen) {
            removed = chosen;
            Cleaner::Outcome outcome;
            outcome.cleaned.push_back(app);
            // The administrator prompt was refused: the system-owned ones stay.
            for (const auto& leftover : chosen) {
                ScanItem gone = item(leftover.kind, leftover.size);
                gone.id = gone.url = leftover.id;
                if (leftover.ownership == AppLeftover::Ownership::system)
                    outcome.failures.push_back({gone, "The password was refused."});
                else
                    outcome.cleaned.push_back(gone);
            }
            return outcome;
        };
        store = std::make_unique<Store>(services);
        test::deliver();
        auto finding = store->uninstalls().findLeftovers(plan.app);
        h.user.runAll();
        window.show();
        dialog = Sheets::openUninstall(&window, store->uninstalls(), *store->uninstalls().plan(),
                                       [this] { ++finished; });
        sheet = dialog->findChild<UninstallSheet*>();
    }
    QString text(const char* name) { return sheet->findChild<QLabel*>(name)->text(); }

    // The application comes before any widget member.
    bool application = (test::guiApplication(), true);
    test::StoreHarness h;
    UninstallPlan plan = editorPlan();
    StoreServices services;
    std::optional<std::vector<AppLeftover>> removed;
    std::unique_ptr<Store> store;
    QWidget window;
    SheetDialog* dialog = nullptr;
    UninstallSheet* sheet = nullptr;
    int finished = 0;
};

} // namespace

TEST(UninstallSheet, StartsWithEveryLeftoverChosenAndCountsTheChoice) {
    Fixture f;
    EXPECT_EQ(f.text("uninstallSubtitle"), "org.example.Editor");
    EXPECT_EQ(f.text("uninstallSummary"), "The app is 2 MB, and left 2 items behind (1.5 MB).");
    EXPECT_EQ(f.sheet->chosen().size(), 2u);
    EXPECT_EQ(f.text("uninstallCount"), "3 items \u00b7 3.5 MB");
    EXPECT_EQ(f.sheet->findChild<QLabel*>("keptLine")->text(),
              "~/Documents \u2014 Your documents are yours");

    f.sheet->findChild<QPushButton*>("selectNone")->click();
    EXPECT_EQ(f.text("uninstallCount"), "1 item \u00b7 2 MB");
    f.sheet->findChild<QCheckBox*>("leftover:/usr/lib/editor-helper")->setChecked(true);
    EXPECT_EQ(f.text("uninstallCount"), "2 items \u00b7 2.5 MB");
    f.sheet->findChild<QPushButton*>("selectAll")->click();
    EXPECT_TRUE(f.sheet->findChild<QCheckBox*>("leftover:/home/me/.config/editor")->isChecked());
}

TEST(UninstallSheet, ConfirmedUninstallWithARefusedPasswordReportsWhatStayed) {
    Fixture f;
    QPointer<SheetDialog> dialog(f.dialog);
    f.sheet->findChild<QPushButton*>("uninstall")->click();
    auto* card = f.sheet->confirmPresenter()->card();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->findChild<QLabel*>("confirmTitle")->text(), "Uninstall Editor?");
    EXPECT_TRUE(card->findChild<QLabel*>("confirmMessage")
                    ->text()
                    .contains("1 item is owned by the system"));
    EXPECT_EQ(f.finished, 0);
    card->confirmButton()->click();
    EXPECT_EQ(f.finished, 1) << "the details sheet lets go of its selection first";
    EXPECT_TRUE(f.store->uninstalls().uninstalling());
    EXPECT_FALSE(f.sheet->findChild<QPushButton*>("uninstall")->isEnabled());
    EXPECT_FALSE(f.sheet->findChild<QPushButton*>("cancel")->isEnabled());
    EXPECT_TRUE(f.sheet->findChild<QWidget*>("workingOverlay")->isVisible());

    f.h.user.runAll();
    ASSERT_TRUE(f.removed);
    EXPECT_EQ(f.removed->size(), 2u);
    EXPECT_FALSE(f.store->uninstalls().plan());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull()) << "the sheet closes once the store lets go of the plan";
    ASSERT_TRUE(f.store->report());
    EXPECT_TRUE(f.store->report()->hasFailures);
    EXPECT_NE(f.store->report()->message.find("The password was refused."), std::string::npos);
}

TEST(UninstallSheet, WithoutSystemLeftoversTheMessageHasNoPasswordParagraph) {
    Fixture f;
    f.sheet->findChild<QCheckBox*>("leftover:/usr/lib/editor-helper")->setChecked(false);
    f.sheet->findChild<QPushButton*>("uninstall")->click();
    const QString message =
        f.sheet->confirmPresenter()->card()->findChild<QLabel*>("confirmMessage")->text();
    EXPECT_FALSE(message.contains("password"));
    f.sheet->confirmPresenter()->card()->cancelButton()->click();
    EXPECT_EQ(f.finished, 0);
    EXPECT_TRUE(f.store->uninstalls().plan()) << "a cancelled card keeps the sheet";
}

TEST(UninstallSheet, EscapeWaitsForARunningRemovalAndOtherwiseLetsGoOfThePlan) {
    Fixture f;
    QPointer<SheetDialog> dialog(f.dialog);
    f.sheet->findChild<QPushButton*>("uninstall")->click();
    f.sheet->confirmPresenter()->card()->confirmButton()->click();
    f.dialog->reject(); // Escape while removing: stays
    EXPECT_TRUE(f.dialog->isVisible());
    f.h.user.runAll();

    auto finding = f.store->uninstalls().findLeftovers(f.plan.app);
    f.h.user.runAll();
    ASSERT_TRUE(f.store->uninstalls().plan());
    auto* again = Sheets::openUninstall(&f.window, f.store->uninstalls(),
                                        *f.store->uninstalls().plan(), [] {});
    again->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(f.store->uninstalls().plan()) << "closed without Cancel, the plan still goes";
}

TEST(UninstallSheet, ASystemApplicationIsNeverUninstalled) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    UninstallPlan plan = editorPlan();
    plan.isSystemApp = true;
    plan.isRunning = true;
    UninstallSheet sheet(store->uninstalls(), plan, [] {});
    EXPECT_NE(sheet.findChild<QLabel*>("systemAppRefusal"), nullptr);
    EXPECT_EQ(sheet.findChild<QWidget*>("leftoverList"), nullptr);
    EXPECT_EQ(sheet.findChild<QWidget*>("runningBanner"), nullptr);
    EXPECT_FALSE(sheet.findChild<QPushButton*>("uninstall")->isEnabled());
    EXPECT_EQ(sheet.findChild<QLabel*>("uninstallCount")->text(), "3 items \u00b7 3.5 MB");
}

TEST(UninstallSheet, ARunningApplicationCanBeAskedToQuit) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    auto store = h.make();
    UninstallPlan plan = editorPlan();
    plan.isRunning = true;
    plan.bundleID.reset();
    plan.app.url = Edition::home() + "/Applications/Editor";
    UninstallSheet sheet(store->uninstalls(), plan, [] {});
    EXPECT_EQ(sheet.findChild<QLabel*>("uninstallSubtitle")->text(), "~/Applications/Editor");
    ASSERT_NE(sheet.findChild<QWidget*>("runningBanner"), nullptr);
    sheet.findChild<QPushButton*>("quitApp")->click(); // asks politely; the banner stays
    EXPECT_NE(sheet.findChild<QWidget*>("runningBanner"), nullptr);
}

TEST(StoreUninstall, AFinishedRemovalClearsOnlyItsOwnPlan) {
    test::guiApplication();
    test::StoreHarness h;
    h.access = false;
    StoreServices services = h.services();
    services.uninstall = [](const ScanItem& app, const std::vector<AppLeftover>&) {
        return Cleaner::Outcome{{app}, {}};
    };
    Store store(services);
    test::deliver();
    UninstallPlan first = editorPlan();
    UninstallPlan second = editorPlan();
    second.id = "plan-other";
    auto removing = store.uninstalls().perform(first, {});
    store.uninstalls().setPlan(second); // the user asked about another application meanwhile
    h.user.runAll();
    ASSERT_TRUE(store.uninstalls().plan());
    EXPECT_EQ(store.uninstalls().plan()->id, "plan-other");
}
