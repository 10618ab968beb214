// Folders that the original desktop shows as single files ("packages"). Walks that leave packages
// closed ask this one rule.
#pragma once

#include <string_view>

namespace bramwick::Packages {

// True when the name ends in one of .app, .photoslibrary, .bundle, .framework, .plugin or
// .xcarchive, compared without case.
bool isPackageName(std::string_view name);

} // namespace bramwick::Packages
