#include "app/gui/desktop_store.h"

#include <memory>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "engine/custom_folders.h"
#include "platform/qt/desktop_actions.h"
#include "platform/qt/desktop_applications.h"
#include "platform/qt/freedesktop_notifier.h"
#include "sheets/folder_dialog.h"
#include "store/to_qstring.h"

namespace bramwick {

namespace {

// Both dialogs sit over the window the user was in, blocking only that window.
void overActiveWindow(QWidget* dialog) {
    if (QWidget* window = QApplication::activeWindow(); window && window != dialog) {
        dialog->setParent(window, dialog->windowFlags() | Qt::Dialog);
        dialog->setWindowModality(Qt::WindowModal);
    }
}

// The folder chooser of "Add Folder": a dialog opened without a loop of its own. It answers
// once, with the folder typed or chosen in it, or with none when the user cancelled or closed it.
void chooseFolders(Level level, std::function<void(std::vector<std::string>)> done) {
    auto* dialog = new FolderDialog;
    dialog->setWindowTitle(toQString(CustomFolders::panelMessage(level)));
    overActiveWindow(dialog);
    dialog->setLabelText(QFileDialog::Accept, toQString(CustomFolders::panelPrompt(level)));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto answer = std::make_shared<std::function<void(std::vector<std::string>)>>(std::move(done));
    QObject::connect(dialog, &QDialog::accepted, dialog, [answer, dialog] {
        if (auto reply = std::exchange(*answer, nullptr)) reply({dialog->chosen()});
    });
    QObject::connect(dialog, &QObject::destroyed, [answer] {
        if (auto reply = std::exchange(*answer, nullptr)) reply({});
    });
    dialog->open();
}

void alert(const std::string& message, const std::string& information) {
    auto* box = new QMessageBox(QMessageBox::Warning, toQString(message), toQString(message),
                                QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(toQString(information));
    box->setAttribute(Qt::WA_DeleteOnClose);
    overActiveWindow(box);
    box->open();
}

} // namespace

StoreServices desktopStoreServices() {
    StoreServices services = StoreServices::standard();
    services.reveal = [](const std::vector<std::string>& paths) { DesktopActions::reveal(paths); };
    services.openApp = [](const std::string& id) { return DesktopActions::openApplication(id); };
    services.chooseFolders = chooseFolders;
    services.alert = alert;
    return services;
}

void installDesktopProviders() {
    Notifier::install(std::make_unique<FreedesktopNotifier>());
    DesktopApplications::installOverSystem();
}

} // namespace bramwick
