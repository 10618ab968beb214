#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "finders/file_digest.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

std::string write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

FileWalk::Identity identity(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return {st.st_dev, st.st_ino};
}

std::optional<std::string> digest(const std::string& path, std::int64_t size,
                                  std::optional<std::int64_t> limit = std::nullopt) {
    auto d = FileDigest::sha256(path, identity(path), size, limit);
    if (!d) return std::nullopt;
    return FileDigest::hex(*d);
}

std::string counting(std::size_t bytes) {
    std::string s(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
        s[i] = static_cast<char>(i & 255);
    return s;
}

} // namespace

TEST(FileDigest, WholeFilesAndPrefixes) {
    test::clearHome();
    auto abc = write(test::home() + "/abc", "abc");
    EXPECT_EQ(digest(abc, 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    // More than one read chunk, whole and cut at 64 KiB.
    auto two = write(test::home() + "/two", counting(2'048'000));
    EXPECT_EQ(digest(two, 2'048'000),
              "9d7280e1bfdcd3ec50ff6c821b311ab609f0a501350df9617fc5e2fab7ef7983");
    EXPECT_EQ(digest(two, 2'048'000, 65'536),
              "7daca2095d0438260fa849183dfc67faa459fdf4936e1bc91eec6b281b27e4c2");

    // A large file goes the way that leaves the page cache as it was; the digest is the same.
    std::string big = test::home() + "/big";
    { std::ofstream(big, std::ios::binary); }
    ASSERT_EQ(::truncate(big.c_str(), std::int64_t{65} << 20), 0);
    EXPECT_EQ(digest(big, std::int64_t{65} << 20),
              "25631f11bd18756ec0029380ec886af0c8824dc6b2706bbdb1d9451c7cf45f42");
}

// A large file's holes are digested as the zeros they read as, without reading them: the digest
// is the one of every byte, whatever holes the file has and wherever its data lies.
TEST(FileDigest, ALargeFileWithHolesHasTheDigestOfAllItsBytes) {
    test::clearHome();
    constexpr std::int64_t size = 70'000'000; // over the size read by its data alone
    const std::string data = counting(3'000'000);
    struct Case {
        const char* name;
        std::vector<std::int64_t> at; // where a stretch of data is written; holes elsewhere
    } cases[] = {
        {"holes around data across a chunk", {20'000'000 - 1'000'000}},
        {"data at both ends", {0, size - 3'000'000}},
        {"a hole to the end", {0}},
        {"no data at all", {}},
    };
    for (const auto& c : cases) {
        std::string path = test::home() + "/sparse.img";
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        for (std::int64_t at : c.at)
            ASSERT_EQ(::pwrite(fd, data.data(), data.size(), at),
                      static_cast<ssize_t>(data.size()));
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        auto sum = test::runProgram("/usr/bin/sha256sum", {path});
        EXPECT_EQ(digest(path, size), sum.output.substr(0, 64)) << c.name;
    }
}

TEST(FileDigest, NothingForAFileThatIsNotWhatTheWalkSaw) {
    test::clearHome();
    auto file = write(test::home() + "/file", "some bytes");
    EXPECT_TRUE(digest(file, 10));
    EXPECT_FALSE(digest(file, 11)) << "changed size since the walk";
    EXPECT_FALSE(digest(file, 9));
    EXPECT_FALSE(digest(file, 11, 4)) << "a prefix of a file that changed is no use either";
    EXPECT_FALSE(FileDigest::sha256(file, {identity(file).device, identity(file).inode + 1}, 10))
        << "another file now has this name";
    EXPECT_FALSE(digest(test::home() + "/missing", 0));

    test::makeLink(file, test::home() + "/link");
    EXPECT_FALSE(FileDigest::sha256(test::home() + "/link", {}, 10)) << "links are never followed";

    // A FIFO put in a file's place: opening it must neither block nor read it.
    std::string fifo = test::home() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(FileDigest::sha256(fifo, {}, 0));
}

TEST(FileDigest, LeadingPrintCoversTheFirst4KiBOfTheFileTheWalkSaw) {
    test::clearHome();
    std::string bytes = counting(10'000);
    auto a = write(test::home() + "/a", bytes);
    std::string later = bytes;
    later[4'096] ^= 1; // past the print
    auto b = write(test::home() + "/b", later);
    std::string early = bytes;
    early[4'095] ^= 1;
    auto c = write(test::home() + "/c", early);
    auto print = [](const std::string& path, std::int64_t size) {
        return FileDigest::leadingPrint(path, identity(path), size);
    };
    ASSERT_TRUE(print(a, 10'000));
    EXPECT_EQ(print(a, 10'000), print(b, 10'000));
    EXPECT_NE(print(a, 10'000), print(c, 10'000));
    // A file shorter than 4 KiB is printed whole; one whose size changed is not printed.
    auto small = write(test::home() + "/small", bytes.substr(0, 100));
    auto other = write(test::home() + "/other", bytes.substr(0, 99) + "x");
    ASSERT_TRUE(print(small, 100));
    EXPECT_NE(print(small, 100), print(other, 100));
    EXPECT_EQ(print(a, 9'999), std::nullopt);
    EXPECT_EQ(FileDigest::leadingPrint(a, identity(b), 10'000), std::nullopt) << "another file";
}
