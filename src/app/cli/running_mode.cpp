#include <fmt/format.h>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "app/cli/system_modes.h"
#include "base/text.h"

namespace bramwick::Cli {

void printRunning(const RunningSnapshot& snapshot, std::ostream& out) {
    out << "Swap: " << size(snapshot.swapUsed) << " of " << size(snapshot.swapTotal) << "\n";
    for (const auto& item : snapshot.items)
        out << fmt::format("{:5.1f}% CPU  {}  {}{}{}\n", item.cpu, size(item.memory),
                           Text::printable(item.name), dash, Text::printable(item.detail));
    if (snapshot.items.empty()) out << "No simulators or leftover log watchers running.\n";
    if (!snapshot.watchersProblem.empty()) out << Text::sentence(snapshot.watchersProblem) << "\n";
}

int runningMode(std::ostream& out) {
    printRunning(RunningScanner::snapshot(), out);
    return 0;
}

} // namespace bramwick::Cli
