#include <gtest/gtest.h>

#include "engine/scanner.h"
#include "engine/simulators.h"
#include "support/fixture.h"

using namespace bramwick;
using nlohmann::json;

namespace {

// What the simulator tool prints, as recorded.
const char* deviceList = R"({
  "devices" : {
    "com.apple.CoreSimulator.SimRuntime.iOS-17-2" : [
      { "udid" : "A1B2C3D4-0000-4000-8000-000000000001", "name" : "iPhone 15", "isAvailable" : true, "state" : "Shutdown" },
      { "udid" : "A1B2C3D4-0000-4000-8000-000000000002", "isAvailable" : true }
    ],
    "com.apple.CoreSimulator.SimRuntime.watchOS-9-0" : [
      { "udid" : "A1B2C3D4-0000-4000-8000-000000000003", "name" : "Apple Watch", "isAvailable" : false },
      { }
    ]
  }
})";

Shell::Runner recorded(std::map<std::string, Shell::Result> answers,
                       std::vector<std::vector<std::string>>* calls = nullptr) {
    return [answers, calls](const std::vector<std::string>& arguments, double limit) {
        EXPECT_EQ(limit, 300);
        if (calls) calls->push_back(arguments);
        std::string key;
        for (const auto& a : arguments)
            key += a + " ";
        auto it = answers.find(key);
        return it != answers.end()
                   ? it->second
                   : Shell::Result{127, "/usr/bin/env: 'xcrun': No such file or directory"};
    };
}

class SimulatorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::clearHome();
        devices_ = test::home() + "/Library/Developer/CoreSimulator/Devices";
    }
    std::string devices_;
};

} // namespace

TEST_F(SimulatorsTest, DeviceFoldersWithAndWithoutTheTool) {
    for (const char* udid :
         {"A1B2C3D4-0000-4000-8000-000000000001", "A1B2C3D4-0000-4000-8000-000000000002",
          "A1B2C3D4-0000-4000-8000-000000000003", "FFFFFFFF-0000-4000-8000-00000000000F"})
        test::makeFile(devices_ + "/" + udid + "/data/disk.img", 50'000);
    test::makeFile(devices_ + "/device_set.plist", 1000);
    test::makeFile(devices_ + "/A1B2C3D4-0000-4000-8000-00000000001/x", 1000); // 35 characters

    std::vector<std::vector<std::string>> calls;
    auto items = Scanner::simulatorDevices(
        recorded({{"xcrun simctl list devices -j ", {0, deviceList}}}, &calls));
    EXPECT_EQ(calls, (std::vector<std::vector<std::string>>{
                         {"xcrun", "simctl", "list", "devices", "-j"}}));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].name, "iPhone 15 — iOS 17.2");
    EXPECT_EQ(items[0].note, std::nullopt);
    EXPECT_EQ(items[0].command, (std::vector<std::string>{"xcrun", "simctl", "delete",
                                                          "A1B2C3D4-0000-4000-8000-000000000001"}));
    EXPECT_EQ(items[1].name, "A1B2C3D4-0000-4000-8000-000000000002 — iOS 17.2");
    EXPECT_EQ(items[2].name, "Apple Watch — watchOS 9.0");
    EXPECT_EQ(items[2].note, "Its runtime is no longer installed");
    EXPECT_TRUE(items[2].command);
    EXPECT_EQ(items[3].name, "Unknown simulator FFFFFFFF");
    EXPECT_EQ(items[3].note, "Not known to Xcode — left over");
    EXPECT_FALSE(items[3].command);
    EXPECT_GT(items[3].size, 0);

    // Without the tool, or with an answer of another shape, every folder is a left-over.
    for (auto runner :
         {recorded({}), recorded({{"xcrun simctl list devices -j ", {0, "not json"}}}),
          recorded({{"xcrun simctl list devices -j ", {0, R"({"devices": {"k": [1]}})"}}}),
          Shell::Runner(
              [](const auto&, double) -> Shell::Result { throw std::runtime_error("x"); })}) {
        auto orphans = Scanner::simulatorDevices(runner);
        ASSERT_EQ(orphans.size(), 4u);
        for (const auto& item : orphans) {
            EXPECT_EQ(item.note, "Not known to Xcode — left over");
            EXPECT_FALSE(item.command);
        }
    }
    // The real tool is missing here: the runtimes are simply none.
    EXPECT_TRUE(Scanner::simulatorRuntimes().empty());
    EXPECT_EQ(Scanner::simulatorDevices().size(), 4u);
}

TEST(Simulators, RuntimeNamesAndDates) {
    EXPECT_EQ(Scanner::runtimeName("com.apple.CoreSimulator.SimRuntime.iOS-17-2"), "iOS 17.2");
    EXPECT_EQ(Scanner::runtimeName("com.apple.CoreSimulator.SimRuntime.iOS-17-0-1"), "iOS 17.0 1");
    EXPECT_EQ(Scanner::runtimeName("xrOS-1-0"), "xrOS 1.0");

    struct Case {
        const char* text;
        std::optional<std::int64_t> unix;
    } cases[] = {
        {"2024-05-01T09:30:00Z", 1714555800},     {"2024-05-01T11:30:00+02:00", 1714555800},
        {"2024-05-01T04:00:00-0530", 1714555800}, {"2024-05-01T09:30:00.123Z", std::nullopt},
        {"2024-02-30T09:30:00Z", std::nullopt},   {"2024-05-01 09:30:00Z", std::nullopt},
        {"2024-05-01T09:30:00", std::nullopt},    {"", std::nullopt},
    };
    for (const auto& c : cases) {
        auto date = Scanner::parseInternetDate(c.text);
        if (!c.unix) {
            EXPECT_FALSE(date) << c.text;
        } else {
            ASSERT_TRUE(date) << c.text;
            EXPECT_EQ(
                std::chrono::duration_cast<std::chrono::seconds>(date->time_since_epoch()).count(),
                *c.unix);
        }
    }
}

TEST(Simulators, RuntimeItems) {
    Date now = *Scanner::parseInternetDate("2024-05-04T09:30:00Z");
    auto full = Scanner::runtimeItem(json::parse(R"({"identifier": "RT-1", "platformIdentifier":
        "com.apple.platform.iphonesimulator", "version": "17.2", "build": "21C62", "sizeBytes": 7340032000,
        "path": "/Library/Developer/CoreSimulator/Volumes/iOS_21C62", "lastUsedAt": "2024-05-01T09:30:00Z",
        "deletable": false})"),
                                     now);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->id, "RT-1");
    EXPECT_EQ(full->name, "iOS 17.2 (21C62)");
    EXPECT_EQ(full->size, 7340032000);
    EXPECT_EQ(full->url, "/Library/Developer/CoreSimulator/Volumes/iOS_21C62");
    EXPECT_EQ(full->note, "Not deletable (bundled with Xcode) · Last used 3 days ago");
    EXPECT_EQ(full->command,
              (std::vector<std::string>{"xcrun", "simctl", "runtime", "delete", "RT-1"}));
    EXPECT_EQ(full->modified, std::nullopt);

    auto bare =
        Scanner::runtimeItem(json::parse(R"({"identifier": "RT-2", "version": "10.0", "build": "X",
        "lastUsedAt": "2024-05-01T09:30:00.5Z", "sizeBytes": "12"})"),
                             now);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->name, " 10.0 (X)");
    EXPECT_EQ(bare->size, 0);
    EXPECT_EQ(bare->url, "/Library/Developer/CoreSimulator/Volumes");
    EXPECT_EQ(bare->note, std::nullopt);
    EXPECT_EQ(bare->lastUsed, std::nullopt);
    EXPECT_TRUE(bare->command);

    for (const char* size : {"1e300", "-5", "18446744073709551615"})
        EXPECT_EQ(
            Scanner::runtimeItem(
                json::parse(std::string(R"({"identifier": "R", "sizeBytes": )") + size + "}"), now)
                ->size,
            0)
            << size;
    EXPECT_EQ(
        Scanner::runtimeItem(
            json::parse(
                R"({"identifier": "W", "platformIdentifier": "com.apple.platform.watchsimulator"})"),
            now)
            ->name,
        "watchOS  ()");
    EXPECT_FALSE(Scanner::runtimeItem(json::parse(R"({"version": "17.2"})"), now));
    EXPECT_FALSE(Scanner::runtimeItem(json::parse(R"("text")"), now));

    std::string list =
        R"({"RT-A": {"identifier": "A", "sizeBytes": 10}, "junk": 5, "RT-B": {"identifier": "B"}})";
    auto runtimes =
        Scanner::simulatorRuntimes(recorded({{"xcrun simctl runtime list -j ", {0, list}}}));
    ASSERT_EQ(runtimes.size(), 2u);
    auto kept = Scanner::keepAndSort(runtimes);
    EXPECT_EQ(kept.size(), 2u) << "a runtime of size 0 stays: it carries its command";
    EXPECT_TRUE(Scanner::simulatorRuntimes(recorded({{"xcrun simctl runtime list -j ", {1, list}}}))
                    .empty());
}
