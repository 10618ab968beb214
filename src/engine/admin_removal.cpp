#include "engine/admin_removal.h"

#include <cerrno>
#include <charconv>

#include <fmt/format.h>

#include "base/paths.h"
#include "base/text.h"
#include "engine/cleaner.h"
#include "platform/safe_delete.h"

namespace bramwick::AdminRemoval {

namespace {

constexpr std::string_view header = "bramwick-removal-list 1\n";

// Reads an unsigned number and the one separator after it.
template <typename Number> bool number(std::string_view& text, Number& value, char separator) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() + text.size() || *end != separator) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()) + 1);
    return true;
}

std::optional<std::string> removeOne(const Entry& entry, const Bounds& bounds,
                                     const std::string& ownBundlePath, const Remover& remove) {
    std::string shown = Text::homeShortened(entry.path);
    // Every check runs again here, with the rights the removal runs with.
    if (auto refused = outOfBounds(entry.path, bounds)) return refused;
    if (!Cleaner::isRemovable(entry.path, ownBundlePath)) return Cleaner::protectedReason;
    auto held = Held::hold(entry.path);
    if (auto* error = std::get_if<int>(&held)) {
        if (*error == ENOENT) return std::nullopt; // already gone
        return fmt::format("Could not look at {}: {}", shown, SafeDelete::errorText(*error));
    }
    const HeldItem& item = std::get<HeldItem>(held);
    if (item.folderIdentity != entry.folder || item.identity() != entry.identity)
        return fmt::format("{} changed after it was chosen, so it was left alone", shown);
    // Where the folder really is, as the system names it: no link in the way.
    if (auto refused = outOfBounds(item.path, bounds)) return refused;
    if (!Cleaner::isRemovable(item, ownBundlePath)) return Cleaner::protectedReason;
    if (auto problem = SafeDelete::mountedWithin(item.path)) return problem;
    return remove ? remove(item) : SafeDelete::remove(item);
}

// One line per item: a reason never spans lines.
void addReason(Shell::Result& result, std::size_t index, std::string reason) {
    for (char& c : reason)
        if (c == '\n' || c == '\t') c = ' ';
    result.output += fmt::format("{}\t{}\n", index, reason);
    result.status = 1;
}

} // namespace

bool inSystemTree(const std::string& path) {
    static const char* const trees[] = {"/etc",  "/usr", "/bin", "/sbin", "/boot",   "/root",
                                        "/proc", "/sys", "/dev", "/run",  "/var/lib"};
    for (const char* tree : trees)
        if (Paths::within(path, tree)) return true;
    // /lib, /lib32, /lib64, /libx32 and whatever else the system keeps its libraries in.
    auto end = path.find('/', 1);
    return path.substr(0, end).starts_with("/lib");
}

std::optional<std::string> outOfBounds(const std::string& path, const Bounds& bounds) {
    std::string shown = Text::homeShortened(path);
    if (path.empty() || path.front() != '/' || path == "/" || inSystemTree(path))
        return shown + " is one of the system's own files, so it was left alone";
    for (const auto& home : bounds.otherHomes)
        if (Paths::within(path, home))
            return shown + " is in another user's home, so it was left alone";
    // A folder searched for leftovers holds every application's: only what lies in it may go.
    for (const auto& place : bounds.places)
        if (path != place && Paths::within(path, place)) return std::nullopt;
    for (const auto& listed : bounds.listed)
        if (Paths::within(path, listed)) return std::nullopt;
    return shown + " is not in a place the administrator's removal reaches, so it was left alone";
}

Entry entryFor(const HeldItem& item) {
    return {item.identity(), item.folderIdentity, item.path};
}

std::string encode(const std::vector<Entry>& entries) {
    std::string out(header);
    for (const auto& e : entries) {
        out += fmt::format("{} {} {} {} {}\n", static_cast<unsigned long long>(e.identity.device),
                           static_cast<unsigned long long>(e.identity.inode),
                           static_cast<unsigned long long>(e.folder.device),
                           static_cast<unsigned long long>(e.folder.inode), e.path.size());
        out += e.path;
        out += '\n';
    }
    return out;
}

std::optional<std::vector<Entry>> decode(std::string_view text) {
    if (!text.starts_with(header)) return std::nullopt;
    text.remove_prefix(header.size());
    std::vector<Entry> entries;
    while (!text.empty()) {
        unsigned long long device = 0, inode = 0, folderDevice = 0, folderInode = 0;
        std::size_t length = 0;
        if (!number(text, device, ' ') || !number(text, inode, ' ') ||
            !number(text, folderDevice, ' ') || !number(text, folderInode, ' ') ||
            !number(text, length, '\n') || length >= text.size() || text[length] != '\n')
            return std::nullopt;
        Entry entry;
        entry.identity = {static_cast<dev_t>(device), static_cast<ino_t>(inode)};
        entry.folder = {static_cast<dev_t>(folderDevice), static_cast<ino_t>(folderInode)};
        entry.path = std::string(text.substr(0, length));
        if (entry.path.find('\0') != std::string::npos) return std::nullopt;
        text.remove_prefix(length + 1);
        entries.push_back(std::move(entry));
    }
    return entries;
}

Shell::Result removeListed(std::string_view list, const Bounds& bounds,
                           const std::string& ownBundlePath, const Remover& remove) {
    auto entries = decode(list);
    if (!entries) return {2, "The list of items to remove could not be read."};
    Shell::Result result;
    for (std::size_t i = 0; i < entries->size(); ++i)
        if (auto problem = removeOne((*entries)[i], bounds, ownBundlePath, remove))
            addReason(result, i, *problem);
    return result;
}

Shell::Result refuseListed(std::string_view list, const std::string& reason) {
    auto entries = decode(list);
    if (!entries) return {2, "The list of items to remove could not be read."};
    Shell::Result result;
    for (std::size_t i = 0; i < entries->size(); ++i)
        addReason(result, i, reason);
    return result;
}

std::map<std::size_t, std::string> reasons(std::string_view output) {
    std::map<std::size_t, std::string> out;
    while (!output.empty()) {
        auto end = output.find('\n');
        std::string_view line = output.substr(0, end);
        output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
        std::size_t index = 0;
        auto [at, error] = std::from_chars(line.data(), line.data() + line.size(), index);
        if (error == std::errc() && at < line.data() + line.size() && *at == '\t')
            out[index] = std::string(at + 1, line.data() + line.size());
    }
    return out;
}

} // namespace bramwick::AdminRemoval
