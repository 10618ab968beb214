#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int leftoversMode(const std::optional<std::string>&, std::ostream&) { return notYetAvailable("--leftovers"); }

} // namespace bramwick::Cli
