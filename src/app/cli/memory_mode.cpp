#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "app/cli/system_modes.h"
#include "base/edition.h"
#include "base/text.h"

namespace bramwick::Cli {

void printMemoryUsers(const std::vector<MemoryUsers::Entry>& entries, std::ostream& out) {
    for (const auto& entry : entries) {
        const char* kind = !entry.bundleID                     ? "not an app"
                           : *entry.bundleID == Edition::appId ? "(this app)"
                                                               : "can quit";
        out << pad(size(entry.bytes), 10) << " " << pad(Text::printable(entry.name), 30) << " "
            << entry.pids.size() << " proc  " << kind << "\n";
    }
}

int memoryMode(std::ostream& out) {
    printMemoryUsers(MemoryUsers::current(15), out);
    return 0;
}

} // namespace bramwick::Cli
