// Rebuildable build folders of projects, and large files. Both walk folder trees in parallel,
// never follow a link, never enter another mounted file system, and pass over what cannot be
// read; an item found twice through overlapping roots is listed once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/models.h"

namespace bramwick::Scanner {

// One kind of build folder: its exact name, the file that must stand beside it (if any) and
// what brings it back.
struct ArtifactRule {
    const char* folder;
    const char* marker; // null: none needed
    const char* restoreHint;
};

// The rules in the order they are tried; the first that matches a folder wins.
const std::vector<ArtifactRule>& artifactRules();

// Folders this deep below a root (a direct child is 1) are neither matched nor entered.
inline constexpr int projectDepthLimit = 8;

// The build folders under the roots, each noted "Restore with: " and its hint, named by its
// path below ~/Projects (else its home-shortened path). Nothing inside a build folder or a
// ".git" folder is looked at.
std::vector<ScanItem> projectArtifacts(const std::vector<std::string>& roots);

// Regular files of at least `minimumBytes` allocated bytes under the roots, hidden ones
// included; packages (.app, .photoslibrary, …) are not entered.
std::vector<ScanItem> largeFiles(const std::vector<std::string>& roots, std::int64_t minimumBytes);

} // namespace bramwick::Scanner
