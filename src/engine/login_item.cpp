#include "engine/login_item.h"

#include "base/edition.h"
#include "platform/files.h"

namespace bramwick {

LoginItem::LoginItem() : LoginItem(Service{}) {}

LoginItem::LoginItem(Service service) : service_(std::move(service)), status_(service_.status()) {}

void LoginItem::set(bool on) {
    message_ = on ? service_.registerApp() : service_.unregisterApp();
    status_ = service_.status();
    if (status_ == LoginItems::Status::requiresApproval) message_ = approvalText();
    changed();
}

void LoginItem::refresh() {
    auto status = service_.status();
    if (status == status_) return;
    status_ = status;
    changed();
}

bool LoginItem::openLoginItems() {
    if (!service_.openFolder) return false;
    std::string folder = service_.folder();
    if (Files::makeFolders(folder)) return false;
    return service_.openFolder(folder);
}

std::string LoginItem::approvalText() {
    return std::string("The system needs you to approve ") + Edition::displayName +
           " under Login Items.";
}

std::size_t LoginItem::subscribe(std::function<void()> observer) {
    observers_[nextToken_] = std::move(observer);
    return nextToken_++;
}

void LoginItem::unsubscribe(std::size_t token) {
    observers_.erase(token);
}

void LoginItem::changed() {
    auto observers = observers_; // an observer may unsubscribe while being told
    for (auto& [token, observer] : observers)
        observer();
}

} // namespace bramwick
