#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int openAtLoginMode(const std::string&, std::ostream&) { return notYetAvailable("--open-at-login"); }

} // namespace bramwick::Cli
