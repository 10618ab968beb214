#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int picturesMode(std::ostream&) { return notYetAvailable("--pictures"); }

} // namespace bramwick::Cli
