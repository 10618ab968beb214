#include <fmt/format.h>

#include "app/cli/modes.h"
#include "app/cli/output.h"
#include "base/text.h"
#include "engine/auto_clean.h"
#include "engine/catalog.h"
#include "platform/settings.h"

namespace bramwick::Cli {

// A dry run: only reads the settings and the running applications, never writes (not even the
// first-arming stamp that a real check would make).
int autoCleanMode(std::ostream& out) {
    const Settings& settings = Settings::standard();
    auto schedule = AutoClean::schedule(settings);
    out << "Schedule: " << AutoClean::title(schedule);
    if (schedule != AutoClean::Schedule::off)
        out << " at "
            << fmt::format("{:02}:{:02}", AutoClean::hour(settings), AutoClean::minute(settings));
    if (AutoClean::onLowSpace(settings))
        out << ", and below " << AutoClean::lowSpaceGB(settings) << " GB free";
    out << "\n";
    if (auto last = AutoClean::lastRun(settings))
        out << "Last run: " << Text::dateTime(*last) << dash << "freed "
            << size(AutoClean::lastFreed(settings)) << "\n";
    if (auto due = AutoClean::nextDue(settings))
        out << "Next due: " << Text::dateTime(*due) << "\n";

    auto plan = AutoClean::plan(Catalog::all(), settings);
    out << "\nWould clean:\n";
    for (const auto& category : plan.categories)
        out << "  " << Text::printable(category.name) << "\n";
    out << "\nWould skip:\n";
    for (const auto& skip : plan.skipped)
        out << "  " << Text::printable(skip.name) << dash << skip.reason << "\n";
    return 0;
}

} // namespace bramwick::Cli
