// Desktop notifications of this program. One provider for the process: the windowed program
// installs the desktop's notification service; without it nothing is shown.
#pragma once

#include <memory>
#include <string>

namespace bramwick {

class Notifier {
  public:
    virtual ~Notifier() = default;

    // Whether this program may post at all: only an installed program has a desktop entry to
    // name it, so a run from the build tree stays quiet.
    virtual bool available() const = 0;
    // Shows a notification at once. Never fails to the caller: without a notification service,
    // or when the service refuses, nothing is shown. True when the request was handed over.
    virtual bool post(const std::string& summary, const std::string& body) = 0;

    // The process-wide provider; one that shows nothing unless another was installed.
    static Notifier& system();
    // Replaces the process-wide provider; returns the previous one.
    static std::unique_ptr<Notifier> install(std::unique_ptr<Notifier> provider);
};

} // namespace bramwick
