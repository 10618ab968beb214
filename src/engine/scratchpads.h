// Scratch folders left by coding-assistant sessions, and the build folders inside them. The
// sessions live two levels below the session root: <root>/<project folder>/<session>.
#pragma once

#include <string>
#include <vector>

#include "engine/models.h"

namespace bramwick::Scanner {

// /tmp/claude-<uid>. Under a sandboxed home (BRAMWICK_HOME) it lies below that home instead,
// so that nothing of the real user's is ever read or cleaned from a sandbox.
std::string claudeSessionRoot();

// The session folders, in name order. The root counts only when it is a real folder (not a
// link) owned by the user; project and session folders only when they are real folders.
std::vector<std::string> claudeSessions(const std::string& root = claudeSessionRoot());

// "<project> · session <first 8 characters>", the project being the part of the project
// folder's name after its last "-Projects-" ("no project folder" for a home folder).
std::string claudeSessionName(const std::string& sessionPath);

// One item per session, measured without its build folder, with notes that warn of a running
// session or of copied files.
std::vector<ScanItem> claudeScratchpads(const std::string& root = claudeSessionRoot());
// One item per session build folder (scratchpad/dd).
std::vector<ScanItem> claudeScratchpadBuilds(const std::string& root = claudeSessionRoot());

} // namespace bramwick::Scanner
