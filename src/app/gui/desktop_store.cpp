#include "app/gui/desktop_store.h"

#include "platform/qt/desktop_actions.h"

namespace bramwick {

StoreServices desktopStoreServices() {
    StoreServices services = StoreServices::standard();
    services.reveal = [](const std::vector<std::string>& paths) { DesktopActions::reveal(paths); };
    services.openApp = [](const std::string& id) { return DesktopActions::openApplication(id); };
    return services;
}

} // namespace bramwick
