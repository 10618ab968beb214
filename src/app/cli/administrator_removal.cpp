#include "app/cli/administrator_removal.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <pwd.h>

#include "base/paths.h"
#include "engine/catalog.h"
#include "finders/uninstaller.h"

namespace bramwick::Cli {

namespace {

std::string real(const std::string& path) {
    return Paths::resolved(path).value_or(Paths::withoutTrailingSlash(path));
}

} // namespace

std::optional<Invoker> invokingUser(const char* pkexecUid) {
    if (!pkexecUid || !*pkexecUid) return std::nullopt;
    unsigned long uid = 0;
    const char* end = pkexecUid + std::strlen(pkexecUid);
    auto [at, error] = std::from_chars(pkexecUid, end, uid);
    if (error != std::errc() || at != end) return std::nullopt;
    const passwd* user = ::getpwuid(static_cast<uid_t>(uid));
    if (!user || !user->pw_dir || user->pw_dir[0] != '/') return std::nullopt;
    return Invoker{static_cast<uid_t>(uid), user->pw_dir};
}

AdminRemoval::Bounds administratorBounds(const Invoker& user) {
    AdminRemoval::Bounds bounds;
    for (const auto& category : Catalog::all())
        if (category.action.kind == CleanAction::Kind::admin)
            for (const auto& path : category.source.paths)
                bounds.listed.push_back(real(Catalog::expand(path)));
    for (const auto& place : Uninstaller::systemPlaces())
        bounds.places.push_back(real(place));
    // Every other account's home, but for the service accounts' "/" and any folder that holds
    // the user's own home.
    const std::string ownHome = real(user.home);
    ::setpwent();
    while (const passwd* other = ::getpwent()) {
        if (other->pw_uid == user.uid || !other->pw_dir || other->pw_dir[0] != '/') continue;
        std::string home = real(other->pw_dir);
        if (home == "/" || Paths::within(ownHome, home)) continue;
        if (std::find(bounds.otherHomes.begin(), bounds.otherHomes.end(), home) ==
            bounds.otherHomes.end())
            bounds.otherHomes.push_back(std::move(home));
    }
    ::endpwent();
    return bounds;
}

Shell::Result removeListedAsAdministrator(std::string_view list, const std::optional<Invoker>& user,
                                          const AdminRemoval::Remover& remove) {
    // Without the user, neither that user's protected folders nor the other homes are known.
    if (!user)
        return AdminRemoval::refuseListed(
            list, "The user who asked could not be told, so nothing was removed");
    return AdminRemoval::removeListed(list, administratorBounds(*user), {}, remove);
}

} // namespace bramwick::Cli
