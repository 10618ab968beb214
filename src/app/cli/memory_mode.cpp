#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int memoryMode(std::ostream&) { return notYetAvailable("--memory"); }

} // namespace bramwick::Cli
