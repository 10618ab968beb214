#include <gtest/gtest.h>

#include "platform/bundle.h"
#include "support/applications.h"
#include "support/fixture.h"

using namespace bramwick;

namespace {

using test::writeInfoPlist;

class BundleTest : public ::testing::Test {
  protected:
    void SetUp() override { test::clearHome(); }
    std::string home(const std::string& rest) { return test::home() + rest; }
};

} // namespace

TEST_F(BundleTest, ReadsXmlAndBinaryInfoPlists) {
    for (bool binary : {false, true}) {
        std::string app = home(binary ? "/Binary.app" : "/Xml.app");
        writeInfoPlist(app + "/Contents/Info.plist",
                       {{"CFBundleIdentifier", "com.example.tool"},
                        {"CFBundleExecutable", "Tool"},
                        {"CFBundleName", "Tool"},
                        {"CFBundleDisplayName", "The Tool"}},
                       binary);
        auto bundle = Bundles::open(app + "/");
        ASSERT_TRUE(bundle) << binary;
        EXPECT_EQ(bundle->path, app);
        EXPECT_EQ(bundle->identifier, "com.example.tool");
        EXPECT_EQ(bundle->executable, app + "/Contents/MacOS/Tool");
        EXPECT_EQ(bundle->name, "The Tool");
    }
    // The flat layout keeps Info.plist and the executable at the top.
    writeInfoPlist(home("/Flat.app/Info.plist"),
                   {{"CFBundleIdentifier", "com.example.flat"}, {"CFBundleExecutable", "Flat"}},
                   false);
    EXPECT_EQ(Bundles::open(home("/Flat.app"))->executable, home("/Flat.app/Flat"));
}

TEST_F(BundleTest, WhatCannotBeReadGivesABundleWithoutIdentifier) {
    test::makeFolder(home("/Empty.app"));
    test::makeFile(home("/Broken.app/Contents/Info.plist"), 100, '<');
    writeInfoPlist(home("/Blank.app/Contents/Info.plist"),
                   {{"CFBundleIdentifier", ""}, {"CFBundleExecutable", "../../x"}}, false);
    for (const char* name : {"/Empty.app", "/Broken.app", "/Blank.app"}) {
        auto bundle = Bundles::open(home(name));
        ASSERT_TRUE(bundle) << name;
        EXPECT_EQ(bundle->identifier, std::nullopt) << name;
        EXPECT_EQ(bundle->executable, std::nullopt) << name;
    }
    test::makeFile(home("/File.app"), 10);
    EXPECT_EQ(Bundles::open(home("/File.app")), std::nullopt);
    EXPECT_EQ(Bundles::open(home("/Missing.app")), std::nullopt);
}

TEST_F(BundleTest, DescribingLooksThroughWrappers) {
    writeInfoPlist(home("/Plain.app/Contents/Info.plist"),
                   {{"CFBundleIdentifier", "com.example.plain"}}, false);
    EXPECT_EQ(Bundles::describing(home("/Plain.app"))->identifier, "com.example.plain");

    writeInfoPlist(home("/Store/Inner.app/Info.plist"),
                   {{"CFBundleIdentifier", "com.example.inner"}}, true);
    test::makeLink(home("/Store/Inner.app"), home("/Linked.app/WrappedBundle"));
    auto linked = Bundles::describing(home("/Linked.app"));
    ASSERT_TRUE(linked);
    EXPECT_EQ(linked->identifier, "com.example.inner");
    EXPECT_EQ(linked->path, home("/Store/Inner.app"));

    // The first application in the Wrapper folder, with or without an identifier.
    test::makeFolder(home("/Wrapped.app/Wrapper/B.app"));
    test::makeFolder(home("/Wrapped.app/Wrapper/A.app"));
    test::makeFolder(home("/Wrapped.app/Wrapper/notes.txt"));
    auto wrapped = Bundles::describing(home("/Wrapped.app"));
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(wrapped->path, home("/Wrapped.app/Wrapper/A.app"));
    EXPECT_EQ(wrapped->identifier, std::nullopt);

    test::makeFolder(home("/Nothing.app"));
    EXPECT_EQ(Bundles::describing(home("/Nothing.app")), std::nullopt);
}

TEST(Bundles, ContainingFolder) {
    std::string path = "/Applications/Outer.app/Contents/Helpers/Inner.app/Contents/MacOS/inner";
    EXPECT_EQ(Bundles::containing(path), "/Applications/Outer.app/Contents/Helpers/Inner.app");
    EXPECT_EQ(Bundles::containing(path, true), "/Applications/Outer.app");
    EXPECT_EQ(Bundles::containing("/Applications/Tool.app"), "/Applications/Tool.app");
    EXPECT_EQ(Bundles::containing("/usr/bin/tool"), std::nullopt);
    EXPECT_EQ(Bundles::containing("/x/.app/y"), std::nullopt);
    EXPECT_EQ(Bundles::containing("/x/Tool.APP/y"), std::nullopt);
}
