#include "app/cli/modes.h"
#include "app/cli/pending.h"

namespace bramwick::Cli {

int picturePairMode(const std::string&, const std::string&, std::ostream&) { return notYetAvailable("--picture-pair"); }

} // namespace bramwick::Cli
