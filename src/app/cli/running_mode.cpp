#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int runningMode(std::ostream&) { return notYetAvailable("--running"); }

} // namespace bramwick::Cli
