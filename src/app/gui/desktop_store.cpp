#include "app/gui/desktop_store.h"

#include <memory>

#include <QFileDialog>
#include <QMessageBox>

#include "platform/qt/desktop_actions.h"

namespace bramwick {

namespace {

// The folder chooser of "Add Folder": a dialog opened without a loop of its own. It answers
// once, with the chosen folder or with none when the user cancelled or closed it.
void chooseFolders(Level level, std::function<void(std::vector<std::string>)> done) {
    auto* dialog = new QFileDialog(
        nullptr, QStringLiteral("Add a Folder to %1")
                     .arg(QString::fromUtf8(std::string(Levels::title(level)).c_str())));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto answer = std::make_shared<std::function<void(std::vector<std::string>)>>(std::move(done));
    QObject::connect(dialog, &QFileDialog::filesSelected, dialog,
                     [answer](const QStringList& files) {
                         std::vector<std::string> paths;
                         for (const auto& file : files)
                             paths.push_back(file.toStdString());
                         if (auto reply = std::exchange(*answer, nullptr)) reply(std::move(paths));
                     });
    QObject::connect(dialog, &QObject::destroyed, [answer] {
        if (auto reply = std::exchange(*answer, nullptr)) reply({});
    });
    dialog->open();
}

void alert(const std::string& message, const std::string& information) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromStdString(message),
                                QString::fromStdString(message), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(QString::fromStdString(information));
    box->setAttribute(Qt::WA_DeleteOnClose);
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

} // namespace bramwick
