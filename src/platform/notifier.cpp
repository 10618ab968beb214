#include "platform/notifier.h"

#include <mutex>

namespace bramwick {

namespace {

class NoNotifications : public Notifier {
  public:
    bool available() const override { return false; }
    bool post(const std::string&, const std::string&) override { return false; }
};

std::unique_ptr<Notifier>& current() {
    static std::unique_ptr<Notifier> provider = std::make_unique<NoNotifications>();
    return provider;
}

std::mutex providerMutex;

} // namespace

Notifier& Notifier::system() {
    std::lock_guard lock(providerMutex);
    return *current();
}

std::unique_ptr<Notifier> Notifier::install(std::unique_ptr<Notifier> provider) {
    std::lock_guard lock(providerMutex);
    std::swap(current(), provider);
    return provider;
}

} // namespace bramwick
