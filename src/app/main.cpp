// The program's entry: a command-line mode runs first, before any window or application object
// exists, so every mode works without a display; without a mode the desktop application starts.
#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <cstdlib>
#include <iterator>

#include "app/cli/administrator_removal.h"
#include "app/cli/modes.h"
#include "base/edition.h"
#include "base/shell.h"
#include "platform/admin.h"
#include "platform/files.h"
#ifdef BRAMWICK_WITH_WINDOWS
#include "app/gui/window_run.h"
#include "platform/modules.h"
#endif

namespace {

// Rows that never arrived (a full disk, a closed pipe when SIGPIPE is ignored) make the run a
// failure, never a silent success.
int finished(int status) {
    std::cout.flush();
    if (std::cout.good()) return status;
    std::fputs("bramwick: could not write all of the output\n", stderr);
    return 1;
}

// The administrator's side of the cleaner's batch, run as root through pkexec: the list comes on
// standard input. pkexec clears the environment, so the home whose folders stay protected is
// the home of the user who asked, from the user database.
int removeListed() {
    auto user = bramwick::Cli::invokingUser(std::getenv("PKEXEC_UID"));
    if (user) ::setenv("BRAMWICK_HOME", user->home.c_str(), 1);
    std::string list(std::istreambuf_iterator<char>(std::cin), {});
    auto result = bramwick::Cli::removeListedAsAdministrator(list, user);
    std::cout << result.output;
    std::cout.flush();
    return result.status;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");
    bramwick::Files::raiseOpenFileLimit();
    bramwick::Shell::resetChildSignal();
    if (argc == 2 && std::string(argv[1]) == bramwick::Admin::removalFlag) return removeListed();
    // A home that is not there would read as an empty one, and an empty value would fall back
    // to the real home the variable was set to keep out of reach.
    if (auto problem = bramwick::Edition::sandboxProblem()) {
        std::fprintf(stderr, "bramwick: %s\n", problem->c_str());
        return 1;
    }
    // Before any library reads the home: what they write goes under the one given.
    bramwick::Edition::standInForHome();
    std::vector<std::string> arguments(argv, argv + argc);
    if (auto status = bramwick::Cli::run(arguments, std::cout)) return finished(*status);
    for (const auto& argument : arguments)
        if (argument == "--help" || argument == "-h") {
            std::cout << bramwick::Cli::usage();
            return finished(0);
        }
#ifdef BRAMWICK_WITH_WINDOWS
    // The windows are loaded only now: no command-line run maps Qt or the desktop's libraries.
    auto windows =
        bramwick::Modules::entry(bramwick::WindowRun::moduleFile, bramwick::WindowRun::entryName);
    if (!windows.address) {
        std::fprintf(stderr, "bramwick: the windows cannot be opened: %s\n",
                     windows.problem.c_str());
        return 1;
    }
    return reinterpret_cast<bramwick::WindowRun::Entry>(windows.address)(&argc, argv);
#else
    // A build without windows lists its modes instead.
    std::cout << bramwick::Cli::usage();
    return finished(0);
#endif
}
