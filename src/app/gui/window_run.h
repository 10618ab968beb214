// The program as a desktop application: one per user, a tray extra, the main window when the
// launch rule says so, and a clean end on SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C).
#pragma once

#include <string>
#include <vector>

namespace bramwick::WindowRun {

// `arguments` is the whole argument list, the program path first. Without a display it prints
// one line saying so and returns 1 (no window system is ever started). A later launch hands its
// request to the running program and returns 0. Otherwise it runs until the user quits or a
// signal ends it, and the program ends with the returned status.
int run(int& argc, char** argv, const std::vector<std::string>& arguments);

// The windows, with Qt and the desktop's services, are a module of their own that the executable
// loads only when it starts as a desktop application: its file, and its entry, which runs `run`
// with the arguments as main has them.
inline constexpr const char* moduleFile = "libbramwick_windows.so";
inline constexpr const char* entryName = "bramwick_windows_run";
using Entry = int (*)(int* argc, char** argv);

} // namespace bramwick::WindowRun
