#include "platform/bundle.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

#include <plist/plist.h>

#include "base/paths.h"
#include "base/unique_fd.h"
#include "platform/files.h"

namespace bramwick {

namespace {

// An Info.plist is a few kilobytes; anything far larger is not one.
constexpr std::size_t largestInfoPlist = 8 << 20;

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class PlistDocument {
  public:
    explicit PlistDocument(const std::string& data) {
        if (data.empty() || data.size() > largestInfoPlist) return;
        ::plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root_);
    }
    ~PlistDocument() {
        if (root_) ::plist_free(root_);
    }
    PlistDocument(const PlistDocument&) = delete;
    PlistDocument& operator=(const PlistDocument&) = delete;

    // A non-empty string value of the top dictionary.
    std::optional<std::string> string(const char* key) const {
        if (!root_ || ::plist_get_node_type(root_) != PLIST_DICT) return std::nullopt;
        plist_t node = ::plist_dict_get_item(root_, key);
        if (!node || ::plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
        char* value = nullptr;
        ::plist_get_string_val(node, &value);
        if (!value) return std::nullopt;
        std::string out = value;
        std::free(value);
        if (out.empty()) return std::nullopt;
        return out;
    }

  private:
    plist_t root_ = nullptr;
};

std::optional<std::string> readSmallFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > largestInfoPlist)
        return std::nullopt;
    return Files::read(path);
}

bool hasAppExtension(const std::string& name) {
    return name.size() > 4 && name.ends_with(".app");
}

} // namespace

namespace Bundles {

std::optional<Bundle> open(const std::string& rawPath) {
    std::string path = Paths::withoutTrailingSlash(rawPath);
    if (!isFolder(path)) return std::nullopt;
    Bundle bundle;
    bundle.path = path;
    // The desktop layout keeps everything in Contents/; the flat one at the top.
    bool contents = isFile(path + "/Contents/Info.plist");
    std::string infoPath = contents ? path + "/Contents/Info.plist" : path + "/Info.plist";
    auto data = readSmallFile(infoPath);
    if (!data) return bundle;
    PlistDocument info(*data);
    bundle.identifier = info.string("CFBundleIdentifier");
    if (auto executable = info.string("CFBundleExecutable");
        executable && Paths::isPlainName(*executable))
        bundle.executable =
            contents ? path + "/Contents/MacOS/" + *executable : path + "/" + *executable;
    bundle.name = info.string("CFBundleDisplayName");
    if (!bundle.name) bundle.name = info.string("CFBundleName");
    return bundle;
}

std::optional<Bundle> describing(const std::string& applicationPath) {
    if (auto bundle = open(applicationPath); bundle && bundle->identifier) return bundle;
    if (auto wrapped = Paths::resolved(applicationPath + "/WrappedBundle"))
        if (auto bundle = open(*wrapped); bundle && bundle->identifier) return bundle;
    std::string wrapper = applicationPath + "/Wrapper";
    std::vector<std::string> names;
    {
        UniqueDir dir(::opendir(wrapper.c_str()));
        if (!dir) return std::nullopt;
        while (dirent* entry = ::readdir(dir.get())) {
            std::string name = entry->d_name;
            if (hasAppExtension(name)) names.push_back(std::move(name));
        }
    }
    if (names.empty()) return std::nullopt;
    return open(wrapper + "/" + *std::min_element(names.begin(), names.end()));
}

std::optional<std::string> containing(const std::string& path, bool outermost) {
    std::optional<std::string> found;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (hasAppExtension(path.substr(start, end - start))) {
            found = path.substr(0, end);
            if (outermost) return found;
        }
        start = end + 1;
    }
    return found;
}

} // namespace Bundles

} // namespace bramwick
