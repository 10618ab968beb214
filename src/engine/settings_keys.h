// Every key the program keeps in the settings file (platform/settings.h), each spelled once, so
// the code that writes a key and the code that reads it cannot come to spell it differently.
// Beside each, what a missing key reads as. The strings are what users' files already hold:
// changing one loses that setting for every user.
#pragma once

namespace bramwick::SettingsKeys {

// The main window.
inline constexpr const char* skin = "skin";                 // "nightfall" (skin.h)
inline constexpr const char* animateScans = "animateScans"; // true
inline constexpr const char* arrangement = "arrangement";   // "level"
inline constexpr const char* levelFilter = "levelFilter";   // "", every level
inline constexpr const char* hideEmpty = "hideEmpty";       // false
inline constexpr const char* skippedFullDiskAccess = "skippedFullDiskAccess"; // false

// The settings window.
inline constexpr const char* settingsTab = "settingsTab";                       // "cleaning"
inline constexpr const char* keepInDock = "keepInDock";                         // false
inline constexpr const char* automaticUpdateChecks = "SUEnableAutomaticChecks"; // true

// What the store keeps: the history, the user's levels and folders, the unused-app threshold.
inline constexpr const char* history = "cleanupLog";            // [] (store/stored_lists.h)
inline constexpr const char* levelOverrides = "levelOverrides"; // {}
inline constexpr const char* customFolders = "customFolders";   // []
inline constexpr const char* unusedAppDays = "unusedAppDays";   // 100
// Where a stored list that could not be read is set aside: "<key>.unreadable".
inline constexpr const char* unreadableSuffix = ".unreadable";
// "folderAccess.<id>": a folder's recorded access, which removing the folder's access forgets.
inline constexpr const char* folderAccessPrefix = "folderAccess.";

// The automatic clean (engine/auto_clean.h).
inline constexpr const char* autoCleanSchedule = "autoCleanSchedule";     // "off"
inline constexpr const char* autoCleanHour = "autoCleanHour";             // 13
inline constexpr const char* autoCleanMinute = "autoCleanMinute";         // 0
inline constexpr const char* autoCleanOnLowSpace = "autoCleanOnLowSpace"; // false
inline constexpr const char* autoCleanLowSpaceGB = "autoCleanLowSpaceGB"; // 10 (decimal GB)
inline constexpr const char* autoCleanNotify = "autoCleanNotify";         // true
inline constexpr const char* autoCleanExcluded = "autoCleanExcluded";     // [], sorted ids
inline constexpr const char* autoCleanEnabledAt = "autoCleanEnabledAt";   // a date, absent
inline constexpr const char* autoCleanLastRun = "autoCleanLastRun";       // a date, absent
inline constexpr const char* autoCleanLastFreed = "autoCleanLastFreed";   // bytes, 0

} // namespace bramwick::SettingsKeys
