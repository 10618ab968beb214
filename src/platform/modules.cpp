#include "platform/modules.h"

#include <dlfcn.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace bramwick::Modules {

namespace {

// The folder of the running executable itself, whatever path or link it was started through.
std::string executableFolder() {
    std::error_code error;
    auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return self.parent_path().string();
}

} // namespace

std::string besideExecutable() {
    return executableFolder();
}

std::string installedFolder() {
    // Where `cmake --install` puts the modules, relative to where it puts the executable.
    return (std::filesystem::path(executableFolder()) / BRAMWICK_MODULE_FOLDER)
        .lexically_normal()
        .string();
}

Entry entry(const std::string& file, const std::string& symbol) {
    // dlopen keeps its own count of a library already loaded; the lock only keeps dlerror's
    // answer with the call it belongs to.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::string tried;
    for (const std::string& folder : {besideExecutable(), installedFolder()}) {
        std::string path = folder + "/" + file;
        if (::access(path.c_str(), F_OK) != 0) {
            tried += (tried.empty() ? "" : " nor in ") + folder;
            continue;
        }
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* why = ::dlerror();
            return {nullptr, "cannot load " + path + ": " + (why ? why : "unknown error")};
        }
        void* address = ::dlsym(module, symbol.c_str());
        if (!address) return {nullptr, path + " is not a module of this build of the program"};
        return {address, {}};
    }
    return {nullptr, file + " is missing: it is neither in " + tried};
}

} // namespace bramwick::Modules
