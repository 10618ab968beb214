#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int reportMode(std::ostream&) { return notYetAvailable("--report"); }

} // namespace bramwick::Cli
