// A user's steps through the real main window over the real store and a home of real files:
// what each card and report says, and what happened on disk.
#include <filesystem>
#include <fstream>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "appearance/confirm_card.h"
#include "appearance/skin.h"
#include "journey.h"
#include "mainwindow/list_widgets.h"
#include "mainwindow/window_top.h"
#include "platform/settings.h"
#include "sheets/details_sheet.h"
#include "sheets/item_table.h"
#include "sheets/uninstall_sheet.h"
#include "support/fixture.h"

using namespace bramwick;
using test::RealWindow;

namespace {

std::string inHome(const std::string& path) {
    return test::home() + "/" + path;
}

// A file the user put in the Trash, with its record, as a file manager leaves it.
void trashed(const std::string& name, std::size_t bytes) {
    const std::string trash = inHome(".local/share/Trash");
    test::makeFile(trash + "/files/" + name, bytes);
    test::makeFile(trash + "/info/" + name + ".trashinfo", 0);
    std::ofstream(trash + "/info/" + name + ".trashinfo")
        << "[Trash Info]\nPath=" << inHome(name) << "\nDeletionDate=2026-01-02T03:04:05\n";
}

// The details sheet of the category whose button says `details`, the item named `item` picked
// in it, and the folder dialog of its move with `folder` typed in; null parts where one did not
// come.
struct MoveAsked {
    DetailsSheet* sheet = nullptr;
    QFileDialog* dialog = nullptr;
};
MoveAsked askToMove(RealWindow& w, const QString& details, const std::string& item,
                    const std::string& folder) {
    MoveAsked asked;
    test::click(test::buttonNamed(w.window(), details));
    asked.sheet = w.detailsSheet();
    if (!asked.sheet) return asked;
    asked.sheet->setMountParents({}); // no backup drive to open on
    EXPECT_TRUE(test::clickRow(*asked.sheet->table(), item)) << item;
    test::click(test::buttonNamed(asked.sheet, "Move to\u2026"));
    asked.dialog = asked.sheet->moveDialog();
    auto* typed = asked.dialog ? asked.dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    EXPECT_NE(typed, nullptr);
    if (typed) typed->setText(QString::fromStdString(folder));
    return asked;
}
} // namespace

TEST(Journey, ARowsCleanCardNamesTheCategoryAndCountsItsItemsAndCancelKeepsThem) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index-v5/aa/entry"), 5'000'000);
    test::makeFile(inHome(".npm/_npx/1234/package.json"), 2'000'000);
    test::makeFile(inHome(".npm/_logs/debug.log"), 1'000'000);
    for (Skin skin : Skins::allCases) {
        ASSERT_FALSE(Settings::standard().set("skin", Skins::rawValue(skin).toStdString()));
        RealWindow w;
        for (const char* arrangement :
             {"Arrange By Level", "Arrange By Group", "Arrange By Size"}) {
            SCOPED_TRACE(Skins::rawValue(skin).toStdString() + ", " + arrangement);
            test::click(test::buttonNamed(w.window(), arrangement));
            CategoryRow* npm = w.row("npm");
            ASSERT_NE(npm, nullptr);
            const QString size = test::spoken(npm->sizeLabel());
            test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
            ConfirmCard* card = w.card();
            ASSERT_NE(card, nullptr);
            EXPECT_EQ(test::cardTitle(*card), "Clean NPM Cache?");
            EXPECT_EQ(test::cardMessage(*card),
                      "3 items, " + size +
                          ".\n\nThese will be permanently deleted. They regenerate when needed.");
            test::click(test::buttonNamed(card, "Cancel"));
            EXPECT_EQ(w.card(), nullptr);
            w.waitUntilIdle();
            EXPECT_TRUE(test::exists(inHome(".npm/_cacache/index-v5/aa/entry")));
            EXPECT_TRUE(test::exists(inHome(".npm/_npx/1234/package.json")));
            EXPECT_TRUE(test::exists(inHome(".npm/_logs/debug.log")));
        }
    }
    ASSERT_FALSE(Settings::standard().remove("skin"));

    // Confirmed, the clean takes exactly those three.
    RealWindow w;
    const QString size = test::spoken(w.row("npm")->sizeLabel());
    test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
    ASSERT_NE(w.card(), nullptr);
    test::click(test::buttonNamed(w.card(), "Clean"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(inHome(".npm")), std::vector<std::string>{});
    const QStringList report = test::shownTexts(w.top().reportBanner());
    ASSERT_EQ(report.size(), 2) << report.join(" | ").toStdString();
    EXPECT_EQ(report[0], "NPM Cache");
    EXPECT_TRUE(report[1].startsWith("Removed 3 items (" + size + ").")) << report[1].toStdString();
    EXPECT_EQ(test::spoken(w.row("npm")->sizeLabel()), "Empty");
}

TEST(Journey, AMoveGoesToTheFolderTypedInItsDialogAndNothingMovesToAPathThatIsNoFolder) {
    test::clearHome();
    test::makeFile(inHome("Downloads/old.iso"), 1'000'000);
    test::makeFile(inHome("Downloads/keep.txt"), 100'000);
    test::makeFile(inHome("Downloads/later.txt"), 100'000);
    test::makeFolder(inHome("Backup"));
    test::makeFolder(inHome("Shown"));
    test::makeFile(inHome("notes.txt"), 10);
    RealWindow w;

    test::click(test::buttonNamed(w.window(), "Details of Downloads Folder"));
    DetailsSheet* sheet = w.detailsSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->setMountParents({}); // no backup drive to open on
    QFileDialog* dialog = nullptr;
    QLineEdit* typed = nullptr;
    // The item picked in the sheet, and its folder dialog open on another folder.
    auto moveAsking = [&](const std::string& name) {
        ASSERT_TRUE(test::clickRow(*sheet->table(), name));
        test::click(test::buttonNamed(sheet, "Move to\u2026"));
        dialog = sheet->moveDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->setDirectory(QString::fromStdString(inHome("Shown")));
        typed = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(typed, nullptr);
    };
    auto type = [&](const QString& text) {
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        typed->setFocus();
        typed->selectAll();
        QTest::keyClicks(typed, text);
        RealWindow::waitUntil([] { return false; }, 200); // the completion catches up
    };
    auto reportSays = [&] {
        const QStringList report = test::shownTexts(w.top().reportBanner());
        return report.size() == 2 ? report[1] : report.join(" | ");
    };

    // A path typed in full, then "Move Here".
    moveAsking("old.iso");
    type(QString::fromStdString(inHome("Backup")));
    test::click(test::buttonNamed(dialog, "Move Here"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(inHome("Backup")), std::vector<std::string>{"old.iso"});
    EXPECT_EQ(test::namesIn(inHome("Shown")), std::vector<std::string>{});
    EXPECT_EQ(test::namesIn(inHome("Downloads")),
              (std::vector<std::string>{"keep.txt", "later.txt"}));
    EXPECT_TRUE(reportSays().startsWith("Moved to Backup 1 item (")) << reportSays().toStdString();

    // What is not a folder is refused where it was typed, and nothing moves.
    moveAsking("keep.txt");
    const std::pair<QString, QString> refused[] = {
        {QString::fromStdString(inHome("notes.txt")),
         QString::fromStdString(inHome("notes.txt")) + " is not a folder."},
        {"../Nowhere", "There is no folder at " + QString::fromStdString(inHome("Nowhere")) + "."}};
    for (const auto& [text, said] : refused) {
        type(text);
        QTest::keyClick(typed, Qt::Key_Return);
        auto* note = dialog->findChild<QMessageBox*>("folderProblem");
        ASSERT_NE(note, nullptr) << text.toStdString();
        EXPECT_TRUE(note->isVisible());
        EXPECT_TRUE(test::spoken(note->findChild<QLabel*>("qt_msgbox_label")).startsWith(said))
            << note->text().toStdString();
        note->done(QMessageBox::Ok);
        RealWindow::waitUntil([&] { return !dialog->findChild<QMessageBox*>(); }, 2'000);
        EXPECT_TRUE(dialog->isVisible()) << "open to be corrected";
    }
    EXPECT_EQ(test::namesIn(inHome("Downloads")),
              (std::vector<std::string>{"keep.txt", "later.txt"}));

    // A folder chosen in the completion list of what was typed: Return takes it.
    type(QString::fromStdString(inHome("Bac")));
    QCompleter* completer = typed->completer();
    ASSERT_TRUE(completer && completer->popup()->isVisible());
    QTest::keyClick(completer->popup(), Qt::Key_Down);
    EXPECT_EQ(typed->text(), QString::fromStdString(inHome("Backup")));
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    ASSERT_TRUE(RealWindow::waitUntil([&] {
        return test::namesIn(inHome("Downloads")) == std::vector<std::string>{"later.txt"};
    }));
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(inHome("Backup")), (std::vector<std::string>{"keep.txt", "old.iso"}));

    // "~" is the home the program was given, for the dialog's own completion and button too.
    moveAsking("later.txt");
    type("~/Backup");
    test::click(test::buttonNamed(dialog, "Move Here"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return test::namesIn(inHome("Downloads")).empty(); }));
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(inHome("Backup")),
              (std::vector<std::string>{"keep.txt", "later.txt", "old.iso"}));
    EXPECT_EQ(test::namesIn(inHome("Shown")), std::vector<std::string>{});
    // What the dialog keeps of itself is kept in that home as well.
    EXPECT_TRUE(RealWindow::waitUntil([] { return test::exists(inHome(".config/QtProject.conf")); },
                                      5'000));
}

TEST(Journey, CleanAllSafeSaysItEmptiesTheTrashAndTheTrashRowSaysItsFilesAreGoneForGood) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index"), 3'000'000);
    trashed("photo.jpg", 2'000'000);
    trashed("letter.odt", 1'000'000);
    RealWindow w;

    // The Trash row's own card.
    test::click(test::buttonNamed(w.window(), "Clean Trash"));
    ASSERT_NE(w.card(), nullptr);
    EXPECT_EQ(test::cardTitle(*w.card()), "Clean Trash?");
    const QString trashSize = test::spoken(w.row("trash")->sizeLabel());
    EXPECT_EQ(test::cardMessage(*w.card()),
              "2 items, " + trashSize +
                  ".\n\nThese will be permanently deleted and cannot be put back.");
    test::click(test::buttonNamed(w.card(), "Cancel"));

    // Clean All Safe's card names the Trash apart from what regenerates.
    test::click(test::buttonNamed(w.window(), "Clean All Safe"));
    ASSERT_NE(w.card(), nullptr);
    const QString npmSize = test::spoken(w.row("npm")->sizeLabel());
    EXPECT_EQ(test::cardMessage(*w.card()),
              "Permanently deletes " + npmSize +
                  " of caches, logs and build data that regenerate on their own, and empties "
                  "the Trash (2 items, " +
                  trashSize + "). Quit Xcode, Chrome and other busy apps first.");
    test::click(test::buttonNamed(w.card(), "Clean"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(inHome(".local/share/Trash/files")), std::vector<std::string>{});
    EXPECT_EQ(test::namesIn(inHome(".local/share/Trash/info")), std::vector<std::string>{});
    EXPECT_FALSE(test::exists(inHome(".npm/_cacache")));
    EXPECT_EQ(test::spoken(w.row("trash")->sizeLabel()), "Empty");
    const QStringList report = test::shownTexts(w.top().reportBanner());
    ASSERT_EQ(report.size(), 2) << report.join(" | ").toStdString();
    EXPECT_EQ(report[1], "All safe categories are clean.");
}

TEST(Journey, EmptyingTheTrashLeavesNothingOfWhatItHeld) {
    test::clearHome();
    trashed("letter.odt", 1'000'000);
    trashed("empty.txt", 0);
    const std::string files = inHome(".local/share/Trash/files");
    test::makeFolder(files + "/Empty Folder");
    test::makeFile(inHome(".local/share/Trash/info/Empty Folder.trashinfo"), 10);
    test::makeLink("/nowhere", files + "/dangling");
    test::makeFile(inHome(".local/share/Trash/info/dangling.trashinfo"), 10);
    RealWindow w;

    test::click(test::buttonNamed(w.window(), "Clean Trash"));
    ASSERT_NE(w.card(), nullptr);
    EXPECT_TRUE(test::cardMessage(*w.card()).startsWith("4 items, "))
        << test::cardMessage(*w.card()).toStdString();
    test::click(test::buttonNamed(w.card(), "Clean"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(files), std::vector<std::string>{});
    EXPECT_EQ(test::namesIn(inHome(".local/share/Trash/info")), std::vector<std::string>{});
    EXPECT_TRUE(test::exists(files)) << "the Trash itself stays";
    const QStringList report = test::shownTexts(w.top().reportBanner());
    ASSERT_EQ(report.size(), 2) << report.join(" | ").toStdString();
    EXPECT_TRUE(report[1].startsWith("Removed 4 items (")) << report[1].toStdString();
    EXPECT_EQ(test::spoken(w.row("trash")->sizeLabel()), "Empty");
}

TEST(Journey, AnUninstallWhoseAppCouldNotBeRemovedKeepsItsDataAndSaysWhy) {
    test::clearHome();
    // A Flatpak of the user's installation (this home's, which flatpak has never heard of, so
    // its uninstall fails), with its data folder.
    const std::string installation = inHome(".local/share/flatpak");
    const std::string id = "org.bramwick.Fixture";
    test::makeFile(installation + "/app/" + id + "/x86_64/stable/abc/files/bin/fixture", 20'000);
    test::makeLink("x86_64/stable", installation + "/app/" + id + "/current");
    test::makeFile(installation + "/exports/share/applications/" + id + ".desktop", 0);
    std::ofstream(installation + "/exports/share/applications/" + id + ".desktop")
        << "[Desktop Entry]\nName=Fixture\nExec=flatpak run " << id << "\n";
    test::makeFile(inHome(".var/app/" + id + "/data/state.db"), 40'000);
    RealWindow w;

    test::click(test::buttonNamed(w.window(), "Uninstall an App"));
    DetailsSheet* details = w.detailsSheet();
    ASSERT_NE(details, nullptr);
    ASSERT_TRUE(test::clickRow(*details->table(), "Fixture"));
    test::click(test::buttonNamed(details, "Uninstall\u2026"));
    UninstallSheet* sheet = nullptr;
    ASSERT_TRUE(RealWindow::waitUntil([&] {
        for (auto* shown : w.window()->findChildren<UninstallSheet*>())
            if (shown->isVisible()) sheet = shown;
        return sheet != nullptr;
    }));
    ASSERT_EQ(sheet->picked().size(), 1u) << "its data folder, chosen";

    test::click(test::buttonNamed(sheet, "Uninstall"));
    ConfirmCard* card = sheet->confirmPresenter()->card();
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(test::cardTitle(*card), "Uninstall Fixture?");
    EXPECT_TRUE(test::cardMessage(*card).endsWith(
        ". The app is uninstalled for good; the files you chose in your home folder go to the "
        "Trash once it is gone, so you can put them back until you empty it."))
        << test::cardMessage(*card).toStdString();
    test::click(test::buttonNamed(card, "Uninstall"));
    ASSERT_TRUE(RealWindow::waitUntil([&] {
        return w.store().report() && w.store().report()->title == "Couldn't uninstall Fixture";
    }));
    w.waitUntilIdle();

    EXPECT_TRUE(test::exists(inHome(".var/app/" + id + "/data/state.db")));
    EXPECT_EQ(test::namesIn(inHome(".local/share/Trash/files")), std::vector<std::string>{});
    const QStringList report = test::shownTexts(w.top().reportBanner());
    ASSERT_EQ(report.size(), 2) << report.join(" | ").toStdString();
    EXPECT_EQ(report[0], "Couldn't uninstall Fixture");
    EXPECT_TRUE(report[1].startsWith("Nothing of Fixture was removed. Its leftover item was kept, "
                                     "since the app itself could not be removed.\n\n1 could not "
                                     "be removed:\n\u2022 Fixture: "))
        << report[1].toStdString();
}

TEST(Journey, AFileMovedOutOfOneCategoryLeavesEveryListThatShowedIt) {
    test::clearHome();
    test::makeAllocatedFile(inHome("Downloads/film.mkv"), 250'000'000);
    test::makeFile(inHome("Downloads/notes.txt"), 10'000);
    test::makeFolder(inHome("Backup"));
    RealWindow w;
    auto listed = [&](const char* id) {
        std::vector<std::string> names;
        if (const auto* state = w.store().state(id))
            for (const auto& item : state->items)
                names.push_back(item.name);
        return names;
    };
    ASSERT_EQ(listed("large-files"), std::vector<std::string>{"~/Downloads/film.mkv"});
    ASSERT_EQ(listed("downloads"), (std::vector<std::string>{"film.mkv", "notes.txt"}));
    const QString before = test::spoken(w.row("downloads")->sizeLabel());

    const MoveAsked asked =
        askToMove(w, "Details of Large Files", "~/Downloads/film.mkv", inHome("Backup"));
    ASSERT_NE(asked.dialog, nullptr);
    test::click(test::buttonNamed(asked.dialog, "Move Here"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();

    EXPECT_EQ(test::namesIn(inHome("Backup")), std::vector<std::string>{"film.mkv"});
    EXPECT_EQ(listed("large-files"), std::vector<std::string>{});
    EXPECT_EQ(listed("downloads"), std::vector<std::string>{"notes.txt"}) << "without a rescan";
    EXPECT_NE(test::spoken(w.row("downloads")->sizeLabel()), before);
    EXPECT_EQ(test::spoken(w.row("large-files")->sizeLabel()), "Empty");
}

TEST(Journey, WhileACardIsShownTheKeyboardStaysInIt) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index"), 3'000'000);
    RealWindow w;
    w.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window()));
    test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
    ConfirmCard* card = w.card();
    ASSERT_NE(card, nullptr);
    auto inCard = [&] {
        QWidget* focus = QApplication::focusWidget();
        return focus && (focus == card || card->isAncestorOf(focus));
    };
    ASSERT_TRUE(inCard());

    // Round the card's buttons, forwards and back, never behind it.
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Backtab,
                        Qt::Key_Backtab, Qt::Key_Tab}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_TRUE(inCard()) << test::spoken(QApplication::focusWidget()).toStdString();
    }
    // Focus sent behind the card comes back to it, so Space opens nothing there.
    w.top().toolbar()->button("toolbar-maintenance")->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(inCard());
    card->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(w.store().maintenance().shown());
    EXPECT_EQ(w.card(), card);

    // Escape cancels, Return confirms, as before.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(w.card(), nullptr);
    w.waitUntilIdle();
    EXPECT_TRUE(test::exists(inHome(".npm/_cacache/index")));
    test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
    ASSERT_NE(w.card(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_FALSE(test::exists(inHome(".npm/_cacache")));
}

TEST(Journey, AFolderTypedInTheAddFolderDialogIsTheOneAdded) {
    test::clearHome();
    test::makeFile(inHome("Projects/Old/build.log"), 50'000);
    test::makeFolder(inHome("Shown"));
    RealWindow w;
    w.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window()));
    test::click(test::buttonNamed(w.window(), "Add a folder of your own to Safe to Remove"));
    QFileDialog* dialog = nullptr;
    ASSERT_TRUE(RealWindow::waitUntil([&] {
        for (QWidget* shown : QApplication::topLevelWidgets())
            if (auto* chooser = qobject_cast<QFileDialog*>(shown); chooser && chooser->isVisible())
                dialog = chooser;
        return dialog != nullptr;
    }));
    dialog->setDirectory(QString::fromStdString(inHome("Shown")));
    auto* typed = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(typed, nullptr);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    typed->setFocus();
    QTest::keyClicks(typed, QString::fromStdString(inHome("Projects/Old")));
    RealWindow::waitUntil([] { return false; }, 200);
    test::click(test::buttonNamed(dialog, "Add to Safe to Remove"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return !w.store().customFolders().empty(); }));
    w.waitUntilIdle();
    ASSERT_EQ(w.store().customFolders().size(), 1u);
    EXPECT_EQ(w.store().customFolders()[0].path, inHome("Projects/Old"));
    EXPECT_NE(test::buttonNamed(w.window(), "Clean Old"), nullptr) << "its row, ready to clean";
}

TEST(Journey, ReturnOnTheCardsCancelButtonCancelsAndDeletesNothing) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index"), 3'000'000);
    RealWindow w;
    w.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window()));

    // Tab from the card to its Cancel button, then Return (and Enter): the clean is cancelled.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
        ConfirmCard* card = w.card();
        ASSERT_NE(card, nullptr);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), card->cancelButton());
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_EQ(w.card(), nullptr) << "the card is gone";
        w.waitUntilIdle();
        EXPECT_TRUE(test::exists(inHome(".npm/_cacache/index")));
        EXPECT_FALSE(w.store().report().has_value()) << "nothing was cleaned";
    }

    // Return on the focused Clean button cleans.
    test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
    ASSERT_NE(w.card(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), w.card()->confirmButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_FALSE(test::exists(inHome(".npm/_cacache")));
}

TEST(Journey, WhileTheAccessSetupIsShownTheKeyboardStaysInIt) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index"), 3'000'000);
    RealWindow w;
    w.window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.window()));
    // This platform's access is the home being listable: the store is told there is none, and
    // the setup is shown as the banner shows it.
    w.store().setHasFullDiskAccess(false);
    w.top().setShowAccessSetup(true);
    FullDiskAccessSetup* setup = w.top().accessSetup();
    ASSERT_NE(setup, nullptr);
    ASSERT_TRUE(RealWindow::waitUntil([&] { return setup->isVisible(); }, 5'000));
    auto inSetup = [&] {
        QWidget* focus = QApplication::focusWidget();
        return focus && (focus == setup || setup->isAncestorOf(focus));
    };
    ASSERT_TRUE(inSetup());

    // Round the setup's buttons, forwards and back, never to the toolbar behind the wash.
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab,
                        Qt::Key_Backtab, Qt::Key_Backtab, Qt::Key_Backtab, Qt::Key_Backtab}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_TRUE(inSetup()) << test::spoken(QApplication::focusWidget()).toStdString();
    }
    // Focus sent behind it comes back, so Space presses nothing there.
    QToolButton* hideEmpty = w.top().toolbar()->button("toolbar-hide-empty");
    const bool hidden = hideEmpty->isChecked();
    hideEmpty->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(inSetup());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(hideEmpty->isChecked(), hidden);
    EXPECT_TRUE(w.top().showAccessSetup());
    EXPECT_FALSE(w.store().scanningAll());

    // Return presses the focused button: going on without access closes it, and the keyboard
    // is the window's again.
    setup->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), setup->button("continueWithoutAccess"))
        << test::spoken(QApplication::focusWidget()).toStdString();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(w.top().showAccessSetup());
    hideEmpty->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(QApplication::focusWidget(), hideEmpty);
    w.waitUntilIdle();
}

TEST(Journey, ARowsCleanCardFollowsARescanAndGoesWhenNothingIsLeft) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index-v5/aa/entry"), 5'000'000);
    test::makeFile(inHome(".npm/_npx/1234/package.json"), 2'000'000);
    test::makeFile(inHome(".npm/_logs/debug.log"), 1'000'000);
    RealWindow w;
    auto rescanNpm = [&] {
        const CleanupCategory* npm = nullptr;
        for (const auto& category : w.store().categories())
            if (category.id == "npm") npm = &category;
        ASSERT_NE(npm, nullptr);
        auto scanning = w.store().scan(*npm);
        w.waitUntilIdle();
    };

    test::click(test::buttonNamed(w.window(), "Clean NPM Cache"));
    ASSERT_NE(w.card(), nullptr);
    EXPECT_TRUE(test::cardMessage(*w.card()).startsWith("3 items, "));

    // A scan (the automatic clean's, say) finds one item gone: the card counts what is left.
    std::filesystem::remove_all(inHome(".npm/_logs"));
    rescanNpm();
    ASSERT_NE(w.card(), nullptr);
    EXPECT_EQ(test::cardMessage(*w.card()),
              "2 items, " + test::spoken(w.row("npm")->sizeLabel()) +
                  ".\n\nThese will be permanently deleted. They regenerate when needed.");

    // Nothing left of what the card offered: it goes, and nothing is reported cleaned.
    std::filesystem::remove_all(inHome(".npm"));
    rescanNpm();
    EXPECT_EQ(w.card(), nullptr);
    EXPECT_FALSE(w.store().report().has_value());
}

TEST(Journey, MoveHereSaysWhyWhenWhatWasChosenIsNoLongerListed) {
    test::clearHome();
    test::makeFile(inHome("Downloads/old.iso"), 1'000'000);
    test::makeFile(inHome("Downloads/keep.txt"), 100'000);
    test::makeFolder(inHome("Backup"));
    RealWindow w;
    const auto [sheet, dialog] =
        askToMove(w, "Details of Downloads Folder", "old.iso", inHome("Backup"));
    ASSERT_NE(dialog, nullptr);

    // While the dialog is open the file goes, and a scan (the automatic clean's, say) sees it.
    std::filesystem::remove(inHome("Downloads/old.iso"));
    for (const auto& category : w.store().categories())
        if (category.id == "downloads") auto scanning = w.store().scan(category);
    w.waitUntilIdle();
    ASSERT_TRUE(sheet->selected().empty());

    test::click(test::buttonNamed(dialog, "Move Here"));
    auto* note = dialog->findChild<QMessageBox*>("folderProblem");
    ASSERT_NE(note, nullptr) << "Move Here said nothing";
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(test::spoken(note->findChild<QLabel*>("qt_msgbox_label"))
                    .startsWith("Nothing was moved: the items you chose are no longer listed in "
                                "Downloads Folder."))
        << note->text().toStdString();
    EXPECT_TRUE(dialog->isVisible());
    note->done(QMessageBox::Ok);
    dialog->reject();
    w.waitUntilIdle();
    EXPECT_EQ(test::namesIn(inHome("Backup")), std::vector<std::string>{});
    EXPECT_EQ(test::namesIn(inHome("Downloads")), std::vector<std::string>{"keep.txt"});
    EXPECT_FALSE(w.store().report().has_value());
}

TEST(Journey, CleanAllSafeCountsAsDeletedOnlyWhatItDeletes) {
    test::clearHome();
    test::makeFile(inHome(".npm/_cacache/index"), 3'000'000);
    test::makeFile(inHome("Downloads/old.iso"), 2'000'000);
    RealWindow w;
    // Downloads, whose items go to the Trash, put in Safe to Remove by the user.
    w.store().move({"downloads"}, Level::safe);
    w.waitUntilIdle();

    test::click(test::buttonNamed(w.window(), "Clean All Safe"));
    ASSERT_NE(w.card(), nullptr);
    const QString npmSize = test::spoken(w.row("npm")->sizeLabel());
    EXPECT_EQ(test::cardMessage(*w.card()),
              "Permanently deletes " + npmSize +
                  " of caches, logs and build data that regenerate on their own. Quit Xcode, "
                  "Chrome and other busy apps first.\n\nAlso cleans what you put in Safe to "
                  "Remove: Downloads Folder. Folders you added go to the Trash.");
    test::click(test::buttonNamed(w.card(), "Clean"));
    ASSERT_TRUE(RealWindow::waitUntil([&] { return w.store().report().has_value(); }));
    w.waitUntilIdle();
    EXPECT_FALSE(test::exists(inHome(".npm/_cacache")));
    EXPECT_EQ(test::namesIn(inHome(".local/share/Trash/files")),
              std::vector<std::string>{"old.iso"});
}
