// Parts of the program that only some runs need live in libraries of their own, installed with
// the executable and loaded the first time a run needs them: the windows (with Qt and the
// desktop's services) and the picture decoders (with the image libraries). A command-line run
// then maps none of the hundred-odd libraries they bring in, which would take it most of its
// start-up time.
#pragma once

#include <string>

namespace bramwick::Modules {

// An entry point of a module, or why it could not be had: the module is in neither of the two
// places it is looked for, it cannot be loaded (with the loader's own reason), or it lacks the
// entry (a module from another build).
struct Entry {
    void* address = nullptr;
    std::string problem;
};

// Loads the module `file` once for the life of the process, from beside the executable (as the
// build leaves it) or else from the installed place relative to the executable
// (<prefix>/bin/../<libdir>/bramwick), and looks up its entry `symbol`. Safe from any thread; a
// module is never unloaded.
Entry entry(const std::string& file, const std::string& symbol);

// The two folders a module is looked for in, in that order.
std::string besideExecutable();
std::string installedFolder();

} // namespace bramwick::Modules
