// A fake /proc and /sys tree for the readers that take a root prefix: files are written with
// the contents a test gives, and the tree is removed with the object.
#pragma once

#include <string>

namespace bramwick::test {

class SystemTree {
  public:
    SystemTree();
    ~SystemTree();
    SystemTree(const SystemTree&) = delete;
    SystemTree& operator=(const SystemTree&) = delete;

    // The prefix to hand to a reader.
    const std::string& root() const { return root_; }
    // Writes `contents` to `path` ("/proc/stat") under the root, replacing what was there.
    void write(const std::string& path, const std::string& contents);
    void remove(const std::string& path);

  private:
    std::string root_;
};

} // namespace bramwick::test
