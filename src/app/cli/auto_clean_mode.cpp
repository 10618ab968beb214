#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int autoCleanMode(std::ostream&) { return notYetAvailable("--auto-clean"); }

} // namespace bramwick::Cli
