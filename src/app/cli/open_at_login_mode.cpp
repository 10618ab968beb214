#include "app/cli/modes.h"
#include "platform/login_item.h"

namespace bramwick::Cli {

int openAtLoginMode(const std::string& value, std::ostream& out) {
    if (value == "on" || value == "off") {
        auto problem = value == "on" ? LoginItems::registerApp() : LoginItems::unregisterApp();
        if (problem) {
            out << "Could not turn open at login " << value << ": " << *problem << "\n";
            return 1;
        }
    }
    out << "Open at login: " << LoginItems::statusWord(LoginItems::status()) << "\n";
    return 0;
}

} // namespace bramwick::Cli
