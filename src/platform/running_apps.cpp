#include "platform/running_apps.h"

#include <mutex>

#include "platform/proc_running_apps.h"

namespace bramwick {

namespace {

std::unique_ptr<RunningApplications>& current() {
    static std::unique_ptr<RunningApplications> provider =
        std::make_unique<ProcRunningApplications>();
    return provider;
}

std::mutex providerMutex;

} // namespace

RunningApplications& RunningApplications::system() {
    std::lock_guard lock(providerMutex);
    return *current();
}

std::unique_ptr<RunningApplications>
RunningApplications::install(std::unique_ptr<RunningApplications> provider) {
    std::lock_guard lock(providerMutex);
    std::swap(current(), provider);
    return provider;
}

} // namespace bramwick
