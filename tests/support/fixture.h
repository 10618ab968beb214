// What every test binary shares: a temporary home folder that stands in for the user's
// (BRAMWICK_HOME is set before any test runs, so no test touches the real home, settings or
// Trash), and small helpers to build fixture trees in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bramwick::test {

// The temporary home of this test binary.
const std::string& home();
// Empties the temporary home, keeping the folder.
void clearHome();

// Creates the parent folders and a file of `bytes` bytes (each a non-zero byte, so the file
// really takes that room on disk). Returns the path.
std::string makeFile(const std::string& path, std::size_t bytes, char fill = 'x');
std::string makeFolder(const std::string& path);
void makeLink(const std::string& target, const std::string& link);
std::string readFile(const std::string& path);
bool exists(const std::string& path); // without following a final link

// A fresh empty folder under the system's temporary folder, removed by `removeTree`.
std::string makeTemporaryFolder(const std::string& hint = "fixture");
void removeTree(const std::string& path);
// The same on another file system than the home's (/dev/shm), for what crosses drives; empty when
// there is none, and the test is then skipped.
std::string makeFolderOnAnotherDrive(const std::string& hint);

bool runningAsRoot();

// Sets an environment variable for as long as it lives, then puts back what was there, so a
// test that changes the search path leaves the next test in the same process unharmed.
class EnvironmentChange {
  public:
    EnvironmentChange(const std::string& name, const std::string& value);
    ~EnvironmentChange();
    EnvironmentChange(const EnvironmentChange&) = delete;
    EnvironmentChange& operator=(const EnvironmentChange&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

// Runs the built program with arguments and extra environment ("NAME=value" entries);
// returns its exit status and standard output.
struct ProgramRun {
    int status = -1;
    std::string output;
};
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {});

} // namespace bramwick::test
