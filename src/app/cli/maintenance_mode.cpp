#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "app/cli/system_modes.h"
#include "base/text.h"

namespace bramwick::Cli {

void printMaintenance(const std::vector<MaintenanceTask>& tasks,
                      const std::vector<Maintenance::Retired>& retired, std::ostream& out) {
    for (const auto& task : tasks) {
        bool available = task.isAvailable();
        const char* status = !available                ? "MISSING "
                             : task.commands().empty() ? "status  "
                             : task.needsPassword      ? "password"
                                                       : "ready   ";
        out << status << " " << task.name;
        if (auto measured = task.measure()) out << dash << *measured;
        out << "\n";
        for (const auto& command : task.commands()) {
            out << "         $";
            for (const auto& argument : command)
                out << " " << Text::printable(argument);
            out << "\n";
        }
        out.flush();
    }
    out << "\nNot offered:\n";
    for (const auto& action : retired)
        out << "  " << action.name << "\n    " << action.why << "\n";
}

int maintenanceMode(std::ostream& out) {
    printMaintenance(Maintenance::all(), Maintenance::retired(), out);
    return 0;
}

} // namespace bramwick::Cli
