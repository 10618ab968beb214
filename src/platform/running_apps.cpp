#include "platform/running_apps.h"

#include <mutex>

namespace bramwick {

namespace {

// Until the /proc reader exists: no applications, and nothing can be asked of them.
class NoApplications : public RunningApplications {
  public:
    std::vector<RunningApplication> list() const override { return {}; }
    bool activate(const RunningApplication&) override { return false; }
    std::optional<std::string> requestQuit(const RunningApplication&) override {
        return "Quitting applications is not available in this build.";
    }
};

std::unique_ptr<RunningApplications>& current() {
    static std::unique_ptr<RunningApplications> provider = std::make_unique<NoApplications>();
    return provider;
}

std::mutex providerMutex;

} // namespace

RunningApplications& RunningApplications::system() {
    std::lock_guard lock(providerMutex);
    return *current();
}

std::unique_ptr<RunningApplications> RunningApplications::install(std::unique_ptr<RunningApplications> provider) {
    std::lock_guard lock(providerMutex);
    std::swap(current(), provider);
    return provider;
}

} // namespace bramwick
