#include <fmt/format.h>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "engine/auto_clean.h"
#include "engine/catalog.h"
#include "base/text.h"

namespace bramwick::Cli {

// A dry run: only reads the settings and the running applications, never writes (not even the
// first-arming stamp that a real check would make).
int autoCleanMode(std::ostream& out) {
    auto schedule = AutoClean::schedule();
    out << "Schedule: " << AutoClean::title(schedule);
    if (schedule != AutoClean::Schedule::off)
        out << " at " << fmt::format("{:02}:{:02}", AutoClean::hour(), AutoClean::minute());
    if (AutoClean::onLowSpace()) out << ", and below " << AutoClean::lowSpaceGB() << " GB free";
    out << "\n";
    if (auto last = AutoClean::lastRun())
        out << "Last run: " << Text::dateTime(*last) << dash << "freed "
            << size(AutoClean::lastFreed()) << "\n";
    if (auto due = AutoClean::nextDue()) out << "Next due: " << Text::dateTime(*due) << "\n";

    auto plan = AutoClean::plan(Catalog::all());
    out << "\nWould clean:\n";
    for (const auto& category : plan.categories)
        out << "  " << category.name << "\n";
    out << "\nWould skip:\n";
    for (const auto& skip : plan.skipped)
        out << "  " << skip.name << dash << skip.reason << "\n";
    return 0;
}

} // namespace bramwick::Cli
