// Simulator devices and runtimes, as the simulator control tool reports them, each carrying the
// command that removes it. Without the tool (as on most machines) there are no runtimes, and
// every device folder is a left-over without a command.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/shell.h"
#include "engine/models.h"

namespace bramwick::Scanner {

inline constexpr const char* simulatorDevicesFolder = "~/Library/Developer/CoreSimulator/Devices";

// One item per device folder (a name of 36 characters) in the devices folder, in name order.
std::vector<ScanItem> simulatorDevices(const Shell::Runner& runner = Shell::run,
                                       const std::string& devicesFolder = simulatorDevicesFolder);
// One item per runtime the tool lists; its id is the runtime's identifier.
std::vector<ScanItem> simulatorRuntimes(const Shell::Runner& runner = Shell::run);

// Runs a command (300 s) and parses its output as a JSON object; none when it cannot start,
// ends with another status than 0, or prints anything else.
std::optional<nlohmann::json> runJSON(const std::vector<std::string>& arguments,
                                      const Shell::Runner& runner);

struct KnownDevice {
    std::string name; // "<device> — <runtime>"
    std::optional<std::string> note;
};
// The devices of a device-list answer by udid; empty for an answer of another shape.
std::unordered_map<std::string, KnownDevice> knownDevices(const nlohmann::json& answer);

// "com.apple.CoreSimulator.SimRuntime.iOS-17-2" → "iOS 17.2".
std::string runtimeName(const std::string& key);

// The item of one runtime of a runtime-list answer, or none when it has no identifier.
std::optional<ScanItem> runtimeItem(const nlohmann::json& runtime, Date now);

// An internet date-time ("2024-05-01T09:30:00Z", "…+02:00"); fractions of seconds are not one.
std::optional<Date> parseInternetDate(const std::string& text);

} // namespace bramwick::Scanner
