// Digests of files found by the walk, read so that a file swapped or changed since the walk never
// passes for what the walk saw: SHA-256 of a file or its first bytes, and a fast non-cryptographic
// print of its first 4 KiB that tells most different files apart for the price of one page.
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

inline constexpr std::int64_t leadingBytes = 4096;

// The XXH3 64-bit hash of the first 4 KiB of the file (all of it when shorter), on the same terms
// as sha256: none unless the file is still the regular file of `identity` and `size` and that
// many bytes can be read. Equal files always have equal prints; different ones almost never.
std::optional<std::uint64_t> leadingPrint(const std::string& path, FileWalk::Identity identity,
                                          std::int64_t size);

// 64 lower-case hexadecimal digits.
std::string hex(const Digest& digest);

} // namespace bramwick::FileDigest
