// The confirmation card: its keys (the same in a window and in a dialog), its tint, its literal
// labels, and a clean of everything safe confirmed through it.
#include <QDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "appearance/confirm_card.h"
#include "gui_support.h"

using namespace bramwick;

TEST(ConfirmCard, EscapeCancelsReturnPressesTheFocusedButtonAndTheCardClosesNothingItself) {
    test::guiApplication();
    // The same card in a window and in a dialog, where Qt makes every button a default one.
    QWidget window;
    QDialog dialog;
    for (QWidget* over : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&dialog)}) {
        SCOPED_TRACE(over == &dialog ? "in a dialog" : "in a window");
        int confirmed = 0, cancelled = 0;
        auto* card = new ConfirmCard(
            "Delete 3 items?", "", "Delete", true, [&] { ++confirmed; }, [&] { ++cancelled; },
            over);
        over->show();
        QTest::keyClick(card, Qt::Key_Escape);
        EXPECT_EQ(cancelled, 1);
        // Return on a button presses that button; on the card itself, the confirming one.
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(card->cancelButton(), key);
            QTest::keyClick(card->confirmButton(), key);
            QTest::keyClick(card, key);
        }
        EXPECT_EQ(cancelled, 3);
        EXPECT_EQ(confirmed, 4);
        card->confirmButton()->setEnabled(false);
        QTest::keyClick(card, Qt::Key_Return);
        EXPECT_EQ(confirmed, 4) << "not while its button is off";
        EXPECT_TRUE(card->isVisible());
        EXPECT_EQ(card->findChild<QLabel*>("confirmMessage"), nullptr)
            << "no empty explanation line";
        EXPECT_EQ(card->width(), ConfirmCard::cardWidth);
        over->hide();
        delete card;
    }
}

TEST(ConfirmCard, TheConfirmingButtonIsTintedAndLabelledAsWritten) {
    test::guiApplication();
    ConfirmCard safe(
        "Move?", "They go to the Trash.", "Save & Move", false, [] {}, [] {});
    ConfirmCard irreversible(
        "Erase?", "", "settings.erase", true, [] {}, [] {});
    EXPECT_EQ(safe.confirmButton()->property("tint").toString(), "green");
    EXPECT_EQ(irreversible.confirmButton()->property("tint").toString(), "red");
    EXPECT_FALSE(safe.cancelButton()->property("tint").isValid()) << "Cancel is never tinted";
    EXPECT_EQ(safe.confirmButton()->text(), "Save && Move") << "shown with its ampersand";
    EXPECT_EQ(irreversible.confirmButton()->text(), "settings.erase");

    // A long text wraps inside the card's width.
    ConfirmCard wordy(
        QString("Remove ").repeated(40), QString("word ").repeated(80), "Remove", false, [] {},
        [] {});
    wordy.adjustSize();
    EXPECT_EQ(wordy.width(), ConfirmCard::cardWidth);
    EXPECT_GT(wordy.heightForWidth(ConfirmCard::cardWidth), 120);
}

TEST(ConfirmCard, CleaningEverythingSafeThroughTheCard) {
    test::ScenesHarness h;
    h.store.catalog = {test::category("caches")};
    h.store.contents["caches"] = {test::item("a", 2'000'000)};
    h.start();
    Store& store = h.scenes->store();

    QWidget window;
    window.resize(1000, 620);
    ConfirmPresenter presenter(&window);
    window.show();
    auto ask = [&] {
        presenter.present(
            QString::fromStdString("Clean all safe categories?"),
            QString::fromStdString(Store::allSafeWarning(store.safeTotal(), store.yoursInSafe())),
            "Clean", false, [&] { store.cleanAllSafe(); });
    };

    ask();
    ASSERT_NE(presenter.card(), nullptr);
    EXPECT_TRUE(presenter.isVisible());
    QTest::keyClick(presenter.card(), Qt::Key_Escape);
    EXPECT_EQ(presenter.card(), nullptr) << "Cancel clears the card";
    EXPECT_FALSE(presenter.isVisible());
    h.store.user.runAll();
    EXPECT_TRUE(h.store.cleans.empty());

    ask();
    QRect card = presenter.card()->geometry();
    EXPECT_NEAR(card.center().x(), window.width() / 2, 1) << "centred over the dimmed window";
    presenter.card()->confirmButton()->click();
    EXPECT_EQ(presenter.card(), nullptr) << "the card goes before the action runs";
    EXPECT_TRUE(store.cleaningAll());
    h.store.user.runAll();
    ASSERT_EQ(h.store.cleans.size(), 1u);
    EXPECT_EQ(store.report()->title, "Freed 2 MB");
}
