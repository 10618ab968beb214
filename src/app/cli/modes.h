// The command-line modes: the first mode flag present runs, prints plain-text lines and ends
// the run with its exit status. No window and no store exist in such a run.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace bramwick::Cli {

enum class Mode {
    memory,
    running,
    report,
    autoClean,
    maintenance,
    duplicates,
    scan,
    picturePair,
    pictures,
    leftovers,
    openAtLogin,
};

// The mode an argument list asks for, with the values that follow its flag.
struct ModeCall {
    Mode mode;
    std::vector<std::string> values;
    bool operator==(const ModeCall&) const = default;
};

// `arguments` is the whole argument list, the program path first. The first mode flag present,
// in the fixed order of the table, decides; none when no mode applies.
std::optional<ModeCall> dispatch(const std::vector<std::string>& arguments);

// `arguments` is the whole argument list, the program path first. Runs the first mode present
// (in the fixed order of the table) and returns its exit status; none when no mode is present.
std::optional<int> run(const std::vector<std::string>& arguments, std::ostream& out);

// The modes with a line on what each prints, for `bramwick --help` and a run without a mode.
std::string usage();

// The modes themselves; each prints to `out` and returns the exit status.
int memoryMode(std::ostream& out);
int runningMode(std::ostream& out);
int reportMode(std::ostream& out);
int autoCleanMode(std::ostream& out);
int maintenanceMode(std::ostream& out);
int duplicatesMode(std::ostream& out);
int scanMode(const std::string& term, std::ostream& out);
int picturePairMode(const std::string& first, const std::string& second, std::ostream& out);
int picturesMode(std::ostream& out);
int leftoversMode(const std::optional<std::string>& term, std::ostream& out);
int openAtLoginMode(const std::string& value, std::ostream& out);

} // namespace bramwick::Cli
