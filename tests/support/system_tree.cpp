#include "support/system_tree.h"

#include <filesystem>
#include <fstream>

#include "support/fixture.h"

namespace fs = std::filesystem;

namespace bramwick::test {

SystemTree::SystemTree() : root_(makeTemporaryFolder("system")) {}

SystemTree::~SystemTree() {
    removeTree(root_);
}

void SystemTree::write(const std::string& path, const std::string& contents) {
    fs::path file = root_ + path;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
}

void SystemTree::remove(const std::string& path) {
    std::error_code error;
    fs::remove_all(root_ + path, error);
}

} // namespace bramwick::test
