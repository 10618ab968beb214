#include <cstdlib>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "base/edition.h"
#include "platform/desktop_entry.h"
#include "platform/files.h"
#include "support/fixture.h"

using namespace bramwick;

TEST(DesktopEntry, ExecArgumentsAreQuotedEscapedAndReadBack) {
    struct Case {
        std::string path, inFile;
    };
    const std::vector<Case> cases{
        {"/usr/bin/bramwick", R"("/usr/bin/bramwick")"},
        {"/opt/my apps/bramwick", R"("/opt/my apps/bramwick")"},
        {"/opt/100%/bramwick", R"("/opt/100%%/bramwick")"},
        {R"(/opt/say "hi"/bramwick)", R"("/opt/say \\"hi\\"/bramwick")"},
        {"/opt/$HOME/`x`/bramwick", R"("/opt/\\$HOME/\\`x\\`/bramwick")"},
        {R"(/opt/back\slash/bramwick)", R"("/opt/back\\\\slash/bramwick")"},
        {"/opt/new\nline\tand tab", R"("/opt/new\nline\tand tab")"},
        {"/opt/'single' #;&|<>*?()~/x", R"("/opt/'single' #;&|<>*?()~/x")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DesktopEntry::execArgument(c.path), c.inFile) << c.path;
        EXPECT_EQ(DesktopEntry::execArguments(DesktopEntry::execArgument(c.path)),
                  std::vector<std::string>{c.path})
            << c.path;
    }
}

TEST(DesktopEntry, ExecValuesSplitIntoArgumentsWithoutFieldCodes) {
    using Args = std::vector<std::string>;
    EXPECT_EQ(DesktopEntry::execArguments("bramwick %U"), Args{"bramwick"});
    EXPECT_EQ(DesktopEntry::execArguments(R"(env  A=1 "/a b/c" --x=%% %f)"),
              (Args{"env", "A=1", "/a b/c", "--x=%"}));
    // As the installer writes it for a prefix holding a space, %, $ and a quote.
    EXPECT_EQ(DesktopEntry::execArguments(R"("/tmp/a b%%\\$x\\"q/bin/bramwick")"),
              Args{"/tmp/a b%$x\"q/bin/bramwick"});
    EXPECT_TRUE(DesktopEntry::execArguments("").empty());
}

TEST(DesktopEntry, ReadsTheMainGroupOnly) {
    auto keys = DesktopEntry::mainGroup("# comment\n"
                                        "Name=Before any group\n"
                                        "[Desktop Entry]\n"
                                        "Name = Bramwick \n"
                                        "Name[de]=Bramwick DE\n"
                                        "Name=Second\n"
                                        "not a key\n"
                                        "Exec=\"/x y\"\n"
                                        "[Desktop Action clean]\n"
                                        "Exec=other\n");
    EXPECT_EQ(keys, (std::map<std::string, std::string>{
                        {"Name", "Bramwick"}, {"Name[de]", "Bramwick DE"}, {"Exec", "\"/x y\""}}));
}

TEST(DesktopEntry, InstalledOnlyWhenTheEntryStartsThisVeryProgram) {
    test::clearHome();
    std::string system = test::makeTemporaryFolder("data-dirs");
    test::EnvironmentChange dataDirs("XDG_DATA_DIRS", system + ":relative/ignored");
    EXPECT_FALSE(DesktopEntry::installedEntry());
    EXPECT_FALSE(DesktopEntry::runsInstalled()) << "a build-tree run is not installed";

    const std::string name = std::string("/applications/") + Edition::appId + ".desktop";
    auto entryFor = [](const std::string& program) {
        return "[Desktop Entry]\nType=Application\nName=Bramwick\nExec=" +
               DesktopEntry::execArgument(program) + " %U\n";
    };
    const std::string self = DesktopEntry::currentExecutable();
    ASSERT_FALSE(self.empty());

    Files::makeFolders(system + "/applications");
    Files::writeAtomically(system + name, entryFor(self));
    EXPECT_EQ(DesktopEntry::installedEntry(), system + name);
    EXPECT_TRUE(DesktopEntry::runsInstalled());

    // The data home comes first: an entry there for another copy means this one is not it.
    Files::makeFolders(Edition::dataHome() + "/applications");
    Files::writeAtomically(Edition::dataHome() + name, entryFor("/usr/bin/true"));
    EXPECT_EQ(DesktopEntry::installedEntry(), Edition::dataHome() + name);
    EXPECT_FALSE(DesktopEntry::runsInstalled());

    // A program named without a folder is found on the search path.
    std::string folder = self.substr(0, self.rfind('/'));
    test::EnvironmentChange path("PATH", folder);
    Files::writeAtomically(Edition::dataHome() + name,
                           "[Desktop Entry]\nExec=" + self.substr(self.rfind('/') + 1) + "\n");
    EXPECT_TRUE(DesktopEntry::runsInstalled());
    test::removeTree(system);
}
