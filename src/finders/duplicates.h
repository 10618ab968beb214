// Byte-identical copies of files, one copy of each kept. Files match on their size, then on the
// digest of their first 64 KiB, then on the digest of the whole file; never on their names. Before
// the 64 KiB digests, a fast print of each file's first 4 KiB sets apart the files that differ
// there already (most files of one size that differ at all), so they are read no further.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/models.h"
#include "finders/file_digest.h"
#include "finders/file_walk.h"

namespace bramwick::Duplicates {

using Candidate = FileWalk::File;

// One set of identical files: the copy that stays and the others, in keeper order.
struct Group {
    Candidate keeper;
    std::vector<Candidate> copies;
};

// The digest of a candidate's first `limit` bytes (all of them when none), or none when it
// cannot be read as the walk saw it. Called from many threads at once.
using Digester = std::function<std::optional<FileDigest::Digest>(
    const Candidate& file, std::optional<std::int64_t> limit)>;

// The print of a candidate's first 4 KiB (FileDigest::leadingPrint), or none when it cannot be
// read as the walk saw it. Called from many threads at once.
using LeadingPrinter = std::function<std::optional<std::uint64_t>(const Candidate& file)>;

// Every set of identical files of at least `minimumBytes` under the roots ("~" allowed), the
// larger files first, then by the kept copy's path. A file that cannot be read, or that changed
// since the walk, takes part in no set. By default files are printed with
// FileDigest::leadingPrint and read with FileDigest::sha256; a caller that gives its own digester
// and no printer has every stage read through its digester, without the first split.
std::vector<Group> groups(const std::vector<std::string>& roots, std::int64_t minimumBytes,
                          const Digester& digest = {}, const LeadingPrinter& print = {});

// One item per redundant copy (the kept copy has none), larger first, each noting which copy
// stays. Never fails: what cannot be read is passed over.
std::vector<ScanItem> items(const std::vector<std::string>& roots, std::int64_t minimumBytes);

// The keeper order: a file outside the download folders (those of the Downloads Folder row)
// first, then the older, then the one with fewer path components, then by path.
bool originalFirst(const Candidate& a, const Candidate& b);

} // namespace bramwick::Duplicates
