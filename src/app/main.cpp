// The program's entry: a command-line mode runs first, before any window or application object
// exists, so every mode works without a display.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/modes.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");
    std::vector<std::string> arguments(argv, argv + argc);
    if (auto status = bramwick::Cli::run(arguments, std::cout)) {
        std::cout.flush();
        return *status;
    }
    // The windows come later; until then the program lists its modes.
    std::cout << bramwick::Cli::usage();
    return 0;
}
