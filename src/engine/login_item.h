// The state behind the "Open at Login" switch of the settings: the registration's status as
// last read and a message for the user, over the login-item service (the desktop's autostart
// entries unless a test gives another). Turning it on or off never fails to the caller: what
// went wrong becomes the message, and the status read afterwards says whether it is on. The
// registration itself lives with the system, so nothing here is stored. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/login_item.h"

namespace bramwick {

class LoginItem {
  public:
    struct Service {
        std::function<LoginItems::Status()> status = [] { return LoginItems::status(); };
        // Each gives the reason when it failed.
        std::function<std::optional<std::string>()> registerApp = [] {
            return LoginItems::registerApp();
        };
        std::function<std::optional<std::string>()> unregisterApp = [] {
            return LoginItems::unregisterApp();
        };
        // Shows a folder in the file manager; false when it could not. None here: the windowed
        // program gives the desktop's.
        std::function<bool(const std::string& folder)> openFolder;
        // The folder that holds the login entries, shown in place of a settings pane.
        std::function<std::string()> folder = [] { return LoginItems::folder(); };
    };

    // Read the status now; no message. The first over the desktop's autostart entries.
    LoginItem();
    explicit LoginItem(Service service);

    LoginItems::Status status() const { return status_; }
    const std::optional<std::string>& message() const { return message_; }

    // The switch shows on only while the program is registered and will start at login.
    bool isOn() const { return status_ == LoginItems::Status::enabled; }
    // The "Open Login Items" button goes with the message while the system waits for approval.
    bool offersLoginItems() const {
        return message_ && status_ == LoginItems::Status::requiresApproval;
    }

    // Registers (on) or unregisters the program, then reads the status again. A failure's
    // reason becomes the message, unchanged; a status that waits for approval replaces any
    // message with `approvalText()`; success clears it.
    void set(bool on);
    // Reads the status again (the settings window does so each time it appears); the message
    // stays until the next `set`.
    void refresh();
    // The stand-in for the system's login-items settings: the folder of the login entries,
    // made if missing, shown in the file manager. False when it could not be shown.
    bool openLoginItems();

    static std::string approvalText();

    // Called after the status or the message changed.
    std::size_t subscribe(std::function<void()> observer);
    void unsubscribe(std::size_t token);

  private:
    void changed();

    Service service_;
    LoginItems::Status status_;
    std::optional<std::string> message_;
    std::map<std::size_t, std::function<void()>> observers_;
    std::size_t nextToken_ = 1;
};

} // namespace bramwick
