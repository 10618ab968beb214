#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int maintenanceMode(std::ostream&) { return notYetAvailable("--maintenance"); }

} // namespace bramwick::Cli
