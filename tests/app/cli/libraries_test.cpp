// What the program maps in each kind of run, as the dynamic loader reports it (LD_DEBUG=files
// names every library it loads, at start or later): a command-line mode maps no Qt library and
// no picture library unless it reads a picture, which maps the picture decoders and still no Qt,
// and nothing beyond the short list below; and a module that is not there is said plainly, never
// taken for an empty answer.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "support/fixture.h"
#include "support/pictures.h"

using namespace bramwick;
namespace fs = std::filesystem;

namespace {

// The file names of the libraries the program itself loaded in a run with these arguments
// (the tools it runs, such as ps, log to files of their own, which are left out).
std::set<std::string> librariesMapped(const std::vector<std::string>& arguments,
                                      const std::string& home, std::string* output = nullptr) {
    std::string logs = test::makeTemporaryFolder("loader-log");
    auto run = test::runProgram(
        BRAMWICK_BINARY, arguments,
        {"BRAMWICK_HOME=" + home, "LD_DEBUG=files", "LD_DEBUG_OUTPUT=" + logs + "/log"});
    if (output) *output = run.output;
    std::set<std::string> found;
    const std::regex loaded(R"(file=(\S+) \[0\];\s+(needed|dynamically loaded) by (\S+))");
    for (const auto& entry : fs::directory_iterator(logs)) {
        std::ifstream in(entry.path());
        std::string text((std::istreambuf_iterator<char>(in)), {});
        // The program's own log names it as the one that needs its first libraries.
        if (text.find("needed by " + std::string(BRAMWICK_BINARY) + " ") == std::string::npos)
            continue;
        for (std::sregex_iterator it(text.begin(), text.end(), loaded), end; it != end; ++it)
            found.insert(fs::path((*it)[1].str()).filename().string());
    }
    test::removeTree(logs);
    return found;
}

bool isQt(const std::string& library) {
    return library.starts_with("libQt6") || library == "libbramwick_windows.so";
}

bool isPictureLibrary(const std::string& library) {
    for (const char* name : {"libbramwick_pictures.so", "libvips", "libheif", "libjpeg", "libpng",
                             "libgif", "libcgif", "libtiff", "libwebp", "librsvg", "libde265"})
        if (library.starts_with(name)) return true;
    return false;
}

// What a command-line run that reads no picture may map: the C and C++ runtimes, oneTBB (with
// its allocator, and the OpenMP runtime it looks for to share its threads with, where one is
// installed), fmt, and the libraries for digests, the usage database and property lists. A
// library added to the program is added here knowingly: every run pays for loading it.
bool isExpected(const std::string& library) {
    for (const char* name :
         {"ld-linux-x86-64.so.2", "libc.so.6", "libm.so.6", "libgcc_s.so.1", "libstdc++.so.6",
          "libtbb.so.12", "libtbbmalloc.so.2", "libirml.so.1", "libiomp5.so", "libfmt.so.",
          "libcrypto.so.3", "libsqlite3.so.0", "libplist-2.0.so.3",
          // The sanitizers' runtimes, in a build made with them (make test-sanitize).
          "libasan.so.", "libubsan.so.", "liblsan.so."})
        if (library.starts_with(name)) return true;
    return false;
}

bool isUnexpected(const std::string& library) {
    return !isExpected(library);
}

std::string listed(const std::set<std::string>& libraries, bool (*which)(const std::string&)) {
    std::string names;
    for (const auto& library : libraries)
        if (which(library)) names += " " + library;
    return names;
}

} // namespace

TEST(Libraries, ACommandLineRunMapsNoQtAndNoPictureLibraryUnlessItReadsAPicture) {
    std::string home = test::makeTemporaryFolder("libraries-home");
    test::makeFile(home + "/.npm/_cacache/index", 20'000);
    test::makeFile(home + "/Downloads/archive.zip", 2'000'000);
    test::makeFile(home + "/Documents/archive.zip", 2'000'000);
    // Named as pictures but none: the leading bytes say so before any decoder is asked.
    test::makeFile(home + "/Pictures/notes.jpg", 300'000);
    test::makeFile(home + "/Pictures/more notes.png", 300'000);
    const std::vector<std::vector<std::string>> modes{
        {"--help"},
        {"--scan", "zzzz"},
        {"--scan", "npm"},
        {"--report"},
        {"--auto-clean"},
        {"--maintenance"},
        {"--memory"},
        {"--running"},
        {"--duplicates"},
        {"--pictures"},
        {"--leftovers"},
        {"--open-at-login", "status"},
        {"--scan", "repeated-pictures"},
    };
    for (const auto& mode : modes) {
        auto libraries = librariesMapped(mode, home);
        std::string name = mode.front() + (mode.size() > 1 ? " " + mode[1] : "");
        ASSERT_TRUE(libraries.count("libc.so.6")) << name << ": the loader's log was not read";
        EXPECT_EQ(listed(libraries, isQt), "") << name;
        EXPECT_EQ(listed(libraries, isPictureLibrary), "") << name;
        EXPECT_EQ(listed(libraries, isUnexpected), "") << name;
    }

    // Two pictures of shapes no other picture shares can never be the same picture: neither is
    // decoded (a BMP's size is read without the decoders).
    test::Picture::photo(400, 200, 3).save(home + "/Pictures/wide.bmp");
    test::Picture::photo(200, 400, 4).save(home + "/Documents/tall.bmp");
    for (const auto& mode :
         std::vector<std::vector<std::string>>{{"--report"}, {"--scan", "repeated-pictures"}}) {
        auto libraries = librariesMapped(mode, home);
        EXPECT_EQ(listed(libraries, isPictureLibrary), "") << mode.front() << " with lone shapes";
    }

    // Reading two pictures loads the decoders, and still no Qt.
    test::Picture::photo(300, 200, 7).save(home + "/a.jpg");
    test::Picture::photo(300, 200, 7).save(home + "/b.png");
    std::string output;
    auto libraries =
        librariesMapped({"--picture-pair", home + "/a.jpg", home + "/b.png"}, home, &output);
    EXPECT_NE(output.find("of the picture changed"), std::string::npos) << output;
    EXPECT_TRUE(libraries.count("libbramwick_pictures.so"));
    EXPECT_TRUE(libraries.count("libvips.so.42"));
    EXPECT_EQ(listed(libraries, isQt), "");
    test::removeTree(home);
}

// The program copied alone into a folder, with neither of its modules beside it or installed.
TEST(Libraries, AMissingModuleIsSaidPlainlyAndTheRunFails) {
    std::string folder = test::makeTemporaryFolder("libraries-alone");
    std::string program = folder + "/bramwick";
    fs::copy_file(BRAMWICK_BINARY, program);
    std::string home = folder + "/home";
    test::Picture::photo(1600, 1200, 7).save(home + "/Pictures/a.jpg", "[Q=95]");
    test::Picture::photo(1200, 900, 7).save(home + "/Pictures/b.jpg", "[Q=95]");
    auto run = [&](const std::string& arguments) {
        return test::runProgram("/bin/sh", {"-c", "\"$0\" " + arguments + " 2>&1", program},
                                {"BRAMWICK_HOME=" + home});
    };
    // Installed, the modules are in <prefix>/<libdir>/bramwick beside <prefix>/bin.
    std::string installed = fs::path(folder).parent_path().string() + "/lib";
    std::string missing =
        "libbramwick_pictures.so is missing: it is neither in " + folder + " nor in " + installed;

    auto pair = run("--picture-pair '" + home + "/Pictures/a.jpg' '" + home + "/Pictures/b.jpg'");
    EXPECT_EQ(pair.status, 1);
    EXPECT_NE(pair.output.find("bramwick: pictures cannot be read: " + missing), std::string::npos)
        << pair.output;
    auto pictures = run("--pictures");
    EXPECT_EQ(pictures.status, 1) << "no repeated pictures is not what was found";
    EXPECT_NE(pictures.output.find("bramwick: pictures cannot be read: " + missing),
              std::string::npos)
        << pictures.output;
    // Nothing here reads a picture, so nothing is missing.
    EXPECT_EQ(run("--scan npm").status, 0);

    // A build without windows has no windows' module to miss.
    if (!fs::exists(fs::path(BRAMWICK_BINARY).parent_path() / "libbramwick_windows.so")) {
        test::removeTree(folder);
        return;
    }
    auto windows = run("--window");
    EXPECT_EQ(windows.status, 1);
    EXPECT_NE(windows.output.find("bramwick: the windows cannot be opened: "
                                  "libbramwick_windows.so is missing: it is neither in " +
                                  folder + " nor in " + installed),
              std::string::npos)
        << windows.output;
    test::removeTree(folder);
}
