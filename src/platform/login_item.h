// Starting this program when the user logs in: an autostart desktop entry in
// <config>/autostart/<app id>.desktop, the way every desktop of this platform starts programs at
// login. The registration lives only in that file, so its state is read afresh every time.
#pragma once

#include <optional>
#include <string>

namespace bramwick::LoginItems {

enum class Status {
    notRegistered,    // no entry, or one that is switched off
    enabled,          // the entry starts an existing program at login
    requiresApproval, // kept for the switch's wording; the autostart folder never asks
    notFound,         // the entry starts a program that no longer exists
    unknown,          // the entry cannot be read
};

// <config>/autostart, the folder of every program's login entry.
std::string folder();
// <config>/autostart/<app id>.desktop.
std::string entryPath();

// The entry's text: an application entry starting `executable`, quoted as Exec values require.
std::string entryText(const std::string& executable);

// Never fails: an entry that exists but cannot be read is `unknown`.
Status status();

// Writes the entry (atomically) so that `executable`, this program unless given, starts at
// login. The reason on failure; nothing is changed then.
std::optional<std::string> registerApp(const std::string& executable = {});
// Removes the entry; an entry that is already gone counts as success. The reason on failure.
std::optional<std::string> unregisterApp();

// The status as the command line reports it ("off", "enabled", ...).
std::string statusWord(Status status);

} // namespace bramwick::LoginItems
