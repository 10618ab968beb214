// The desktop's folder chooser answers once, without a loop of its own: with the chosen folder,
// or with none when the user cancels.
#include "app/gui/desktop_store.h"

#include <optional>

#include <QApplication>
#include <QFileDialog>
#include <gtest/gtest.h>

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

} // namespace
} // namespace bramwick
