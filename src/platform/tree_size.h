// The allocated bytes of a file or a folder tree, walked in parallel. The walk reads no file
// contents, only folder listings and each entry's metadata.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bramwick::TreeSize {

// The allocated bytes of a file or a whole folder tree: symbolic links count nothing and are
// never followed, another mounted file system is never entered, a file with several hard links
// counts once, folders themselves add nothing. 0 when nothing can be read. Safe to call from
// many threads at once.
std::int64_t allocated(const std::string& path);

// `allocated` of each path, in the same order, the folder trees measured in one parallel walk
// (each tree counted as it would be alone), so the walkers go from one tree to the next
// without waiting for the slowest.
std::vector<std::int64_t> allocatedEach(const std::vector<std::string>& paths);

// Makes every walker thread now, on the calling thread's priority, so that the first walk does
// not spend its start making threads (and taking the process's memory map from everything else
// while it does). Returns once they are made, or after half a second.
void startWalkers();

} // namespace bramwick::TreeSize
