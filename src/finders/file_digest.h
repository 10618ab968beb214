// SHA-256 digests of files found by the walk, read so that a file swapped or changed since the
// walk never passes for what the walk saw.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "finders/file_walk.h"

namespace bramwick::FileDigest {

using Digest = std::array<unsigned char, 32>;

// The digest of the first `limit` bytes of the file (the whole file when there is no limit). The
// file must still be the regular file of `identity` and `size` that the walk saw. None when it
// cannot be opened or read, is no longer that file, or does not have that many bytes (a whole
// read must come to exactly `size` bytes). Safe to call from many threads at once.
std::optional<Digest> sha256(const std::string& path, FileWalk::Identity identity,
                             std::int64_t size, std::optional<std::int64_t> limit = std::nullopt);

// 64 lower-case hexadecimal digits.
std::string hex(const Digest& digest);

} // namespace bramwick::FileDigest
