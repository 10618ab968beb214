// The entry of the windows' module (see window_run.h).
#include <string>
#include <type_traits>
#include <vector>

#include "app/gui/window_run.h"

extern "C" __attribute__((visibility("default"))) int bramwick_windows_run(int* argc, char** argv) {
    static_assert(std::is_same_v<decltype(&bramwick_windows_run), bramwick::WindowRun::Entry>);
    std::vector<std::string> arguments(argv, argv + *argc);
    return bramwick::WindowRun::run(*argc, argv, arguments);
}
