#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int duplicatesMode(std::ostream&) { return notYetAvailable("--duplicates"); }

} // namespace bramwick::Cli
