// The administrator's side of the cleaner's batch: this program run as root through pkexec,
// with the list of judged items on its standard input. It acts for the user who asked, whom
// pkexec names, and only within the places the administrator's removal is for.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "base/shell.h"
#include "engine/admin_removal.h"

namespace bramwick::Cli {

struct Invoker {
    uid_t uid = 0;
    std::string home;
};

// The user `pkexecUid` (pkexec's PKEXEC_UID) names, from the user database; none when it is
// missing, is no number or names no user.
std::optional<Invoker> invokingUser(const char* pkexecUid);

// Where the removal may reach for that user: the paths the administrator rows list (and what
// lies in them) and what lies in the folders the uninstaller searches for system leftovers,
// never those folders themselves nor another user's home.
AdminRemoval::Bounds administratorBounds(const Invoker& user);

// Removes what the list names, within those bounds. Without a user that could be told, nothing
// is removed: every item is left with the reason.
Shell::Result removeListedAsAdministrator(std::string_view list, const std::optional<Invoker>& user,
                                          const AdminRemoval::Remover& remove = {});

} // namespace bramwick::Cli
