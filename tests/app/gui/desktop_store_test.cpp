// The desktop's folder chooser answers once, without a loop of its own: with the chosen folder,
// or with none when the user cancels.
#include "app/gui/desktop_store.h"

#include <optional>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <gtest/gtest.h>

#include "engine/custom_folders.h"

#include "gui_support.h"
#include "support/fixture.h"

namespace bramwick {
namespace {

QFileDialog* openChooser() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

TEST(DesktopStore, TheFolderChooserAnswersOnce) {
    test::guiApplication();
    const std::string folder = test::makeTemporaryFolder("chosen");
    StoreServices services = desktopStoreServices();
    for (bool accept : {true, false}) {
        int answers = 0;
        std::optional<std::vector<std::string>> chosen;
        services.chooseFolders(Level::warning, [&](std::vector<std::string> paths) {
            ++answers;
            chosen = std::move(paths);
        });
        QFileDialog* dialog = openChooser();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(answers, 0); // nothing waits for it
        EXPECT_EQ(dialog->labelText(QFileDialog::Accept), "Add to Review");
        if (accept) {
            dialog->setOption(QFileDialog::DontUseNativeDialog);
            dialog->selectFile(QString::fromStdString(folder));
            QMetaObject::invokeMethod(dialog, "accept");
        } else {
            dialog->reject();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        EXPECT_EQ(answers, 1);
        ASSERT_TRUE(chosen);
        if (accept) {
            ASSERT_EQ(chosen->size(), 1u);
            EXPECT_EQ(chosen->front(), folder);
        } else {
            EXPECT_TRUE(chosen->empty());
        }
    }
    test::removeTree(folder);
}

// A folder of the system's own, chosen in the panel, is named in one alert over the window the
// user was in, and becomes no category.
TEST(DesktopStore, ARefusedFolderIsToldAndAddsNothing) {
    test::guiApplication();
    QWidget window;
    window.show();
    QApplication::setActiveWindow(&window);
    test::StoreHarness h;
    h.chosenFolders = {"/usr"};
    StoreServices services = h.services();
    services.alert = desktopStoreServices().alert;
    Store store(services);
    test::deliver();
    h.user.runAll();
    auto adding = store.addFolders(Level::safe);
    test::deliver();
    QApplication::processEvents();
    QMessageBox* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->text(), "/usr can't be added");
    EXPECT_EQ(box->informativeText(), CustomFolders::refusedInformation);
    EXPECT_TRUE(store.customFolders().empty());
    for (const auto& category : store.categories())
        EXPECT_FALSE(category.customFolder) << category.id;
    box->close();
}

} // namespace
} // namespace bramwick
